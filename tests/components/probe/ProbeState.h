#pragma once
// Module-global state of the probe component: its configuration and its call log.
//
// Configuration is a list of "key=value" items separated by ';'. It is taken, in this order,
// from the bundle's compiled defaults (kProbeBundleConfig), the environment variable
// MW_PROBE_CONFIG and ProbeConfigure() calls; a later item overrides an earlier one.

#include <kav/KAVTypes.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace NS_Probe {

// The value of `key`, or `fallback` when it is not configured.
std::string config(std::string_view key, std::string_view fallback = {});
// A result code item ("0", "-2147483640", "0x80000008"); `fallback` when unset or not a number.
HRESULT configResult(std::string_view key, HRESULT fallback = S_OK);
// True when `name` is in the comma-separated list of `key` (or the list is "all").
bool configListHas(std::string_view key, std::string_view name, std::string_view fallback);
// An identifier item; all zero when unset or not an identifier.
CFUUIDBytes configUuid(std::string_view key);

void addConfig(std::string_view text);
void resetConfig();

// Appends one log line (thread-safe).
void log(const std::string& line);
std::string logText(); // lines joined with '\n'
void clearLog();

// Live probe objects of this module (outer objects and pages), to catch leaks.
void objectCreated();
void objectDestroyed();
std::int32_t liveObjects();

std::string hex(std::uint32_t value);

} // namespace NS_Probe

// The bundle's compiled configuration (generated per bundle).
extern const char* const kProbeBundleConfig;
