#include "ClientIMPTimeInfo.h"

namespace {
constexpr bool isKnownFormat(std::int32_t format)
{
    return format >= MPTF_FORMAT1 && format <= MPTF_FORMAT3;
}
} // namespace

ClientIMPTimeInfo::ClientIMPTimeInfo(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

ClientIMPTimeInfo::~ClientIMPTimeInfo() = default;

HRESULT ClientIMPTimeInfo::MPTimeConvert(std::int64_t, _MPTIME_FORMAT from, std::uint32_t, std::int64_t*,
                                         _MPTIME_FORMAT to, std::uint32_t)
{
    if (!isKnownFormat(from))
        return MP_E_TIMEFORMAT;
    if (to == from || to == MPTF_NONE)
        return S_OK;
    return MP_E_TIMEFORMAT;
}

HRESULT ClientIMPTimeInfo::MPTimeToMBT(std::int64_t, _MPTIME_FORMAT, std::uint32_t, std::uint32_t*,
                                       std::uint32_t*, std::uint32_t*)
{
    return E_NOTIMPL;
}

HRESULT ClientIMPTimeInfo::MPMBTToTime(std::uint32_t, std::uint32_t, std::uint32_t, std::int64_t*,
                                       _MPTIME_FORMAT, std::uint32_t)
{
    return E_NOTIMPL;
}

HRESULT ClientIMPTimeInfo::MPGetTimeData(_MPTIME_FORMAT format, std::uint32_t* data)
{
    if (!data)
        return E_INVALIDARG;
    switch (format) {
    case MPTF_FORMAT1:
        *data = 1;
        return S_OK;
    case MPTF_FORMAT2:
        *data = 960;
        return S_OK;
    default:
        return MP_E_TIMEFORMAT;
    }
}
