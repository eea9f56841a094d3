#pragma once
// The probe's editor page: logs every call, shows nothing.

#include <kav/KAVComObject.h>

class ProbePropertyPage : public TKAVComObject<ProbePropertyPage, IPropertyPage> {
public:
    static constexpr char kClassName[] = "ProbePropertyPage";

    explicit ProbePropertyPage(const CFUUIDBytes& pageID);
    ~ProbePropertyPage() override;

    HRESULT SetPageSite(IPropertyPageSite* site) override;
    HRESULT Activate(void** parentWindow, const tagRECT* rect, bool modal) override;
    HRESULT Deactivate() override;
    HRESULT GetPageInfo(tagPROPPAGEINFO* info) override;
    HRESULT SetObjects(std::uint32_t count, IUnknown** objects) override;
    HRESULT Show(std::uint32_t command) override;
    HRESULT Move(const tagRECT* rect) override;
    HRESULT IsPageDirty() override;
    HRESULT Apply() override;
    HRESULT Help(const char16_t* helpDir) override;
    HRESULT TranslateAccelerator(void** message) override;

private:
    IUnknown* m_object = nullptr; // the component given with SetObjects
};
