#include "ProbePropertyPage.h"

#include "ProbeState.h"

#include <string>

using NS_Probe::config;
using NS_Probe::configResult;
using NS_Probe::log;

namespace {
std::string rectText(const tagRECT* rect)
{
    if (!rect)
        return "null";
    return std::to_string(rect->left) + "," + std::to_string(rect->top) + "," + std::to_string(rect->right) + ","
        + std::to_string(rect->bottom);
}

char16_t* olestring(const std::string& text)
{
    std::u16string units(text.begin(), text.end());
    return CreateOLEString(std::u16string_view(units));
}
} // namespace

ProbePropertyPage::ProbePropertyPage(const CFUUIDBytes& pageID)
    : TKAVComObject(nullptr, pageID, true)
{
    NS_Probe::objectCreated();
}

ProbePropertyPage::~ProbePropertyPage()
{
    if (m_object)
        m_object->Release();
    log("ProbePropertyPage::~ProbePropertyPage()");
    NS_Probe::objectDestroyed();
}

HRESULT ProbePropertyPage::SetPageSite(IPropertyPageSite* site)
{
    log(std::string("IPropertyPage::SetPageSite(") + (site ? "set" : "null") + ")");
    return S_OK;
}

HRESULT ProbePropertyPage::Activate(void** parentWindow, const tagRECT* rect, bool modal)
{
    log("IPropertyPage::Activate(parent=" + std::string(parentWindow ? "set" : "null") + ", rect="
        + rectText(rect) + ", modal=" + (modal ? "true" : "false") + ")");
    return configResult("activate", S_OK);
}

HRESULT ProbePropertyPage::Deactivate()
{
    log("IPropertyPage::Deactivate()");
    return S_OK;
}

HRESULT ProbePropertyPage::GetPageInfo(tagPROPPAGEINFO* info)
{
    log("IPropertyPage::GetPageInfo()");
    if (!info)
        return E_POINTER;
    *info = tagPROPPAGEINFO{};
    info->cb = sizeof(tagPROPPAGEINFO);
    info->title = olestring(config("pageTitle", "Probe Page"));
    info->width = std::stoi(config("pageWidth", "320"));
    info->height = std::stoi(config("pageHeight", "200"));
    info->description = olestring("Probe page");
    info->helpFile = nullptr;
    return S_OK;
}

HRESULT ProbePropertyPage::SetObjects(std::uint32_t count, IUnknown** objects)
{
    log("IPropertyPage::SetObjects(" + std::to_string(count) + ")");
    if (count && !objects)
        return E_POINTER;
    IUnknown* object = count ? objects[0] : nullptr;
    if (object)
        object->AddRef();
    if (m_object)
        m_object->Release();
    m_object = object;
    return S_OK;
}

HRESULT ProbePropertyPage::Show(std::uint32_t command)
{
    log("IPropertyPage::Show(" + std::to_string(command) + ")");
    return S_OK;
}

HRESULT ProbePropertyPage::Move(const tagRECT* rect)
{
    log("IPropertyPage::Move(" + rectText(rect) + ")");
    return S_OK;
}

HRESULT ProbePropertyPage::IsPageDirty()
{
    log("IPropertyPage::IsPageDirty()");
    return S_FALSE;
}

HRESULT ProbePropertyPage::Apply()
{
    log("IPropertyPage::Apply()");
    return S_OK;
}

HRESULT ProbePropertyPage::Help(const char16_t*)
{
    log("IPropertyPage::Help()");
    return E_NOTIMPL;
}

HRESULT ProbePropertyPage::TranslateAccelerator(void** message)
{
    log(std::string("IPropertyPage::TranslateAccelerator(") + (message ? "set" : "null") + ")");
    return S_FALSE;
}
