#pragma once
// Time-format information for components; the host converts no times.

#include <kav/KAVComObject.h>

#include <cstdint>

class ClientIMPTimeInfo : public TKAVComObject<ClientIMPTimeInfo, IMPTimeInfo>
{
public:
    static constexpr char kClassName[] = "ClientIMPTimeInfo";

    ClientIMPTimeInfo(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // IMPTimeInfo
    // S_OK for the same known format on both sides, or a known format to format 0; else
    // MP_E_TIMEFORMAT. `out` is never written.
    HRESULT MPTimeConvert(std::int64_t time, _MPTIME_FORMAT from, std::uint32_t fromParam, std::int64_t* out,
                          _MPTIME_FORMAT to, std::uint32_t toParam) override;
    HRESULT MPTimeToMBT(std::int64_t time, _MPTIME_FORMAT format, std::uint32_t param, std::uint32_t* measure,
                        std::uint32_t* beat, std::uint32_t* tick) override;
    HRESULT MPMBTToTime(std::uint32_t measure, std::uint32_t beat, std::uint32_t tick, std::int64_t* time,
                        _MPTIME_FORMAT format, std::uint32_t param) override;
    // Format 1 gives 1, format 2 gives 960.
    HRESULT MPGetTimeData(_MPTIME_FORMAT format, std::uint32_t* data) override;

    ~ClientIMPTimeInfo() override;
};
