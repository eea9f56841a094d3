#include "ProbeState.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <vector>

namespace NS_Probe {
namespace {

struct TState {
    std::mutex mutex;
    std::map<std::string, std::string, std::less<>> config;
    std::vector<std::string> log;
    bool loaded = false;
};

TState& state()
{
    static TState s;
    return s;
}

void parseInto(std::map<std::string, std::string, std::less<>>& map, std::string_view text)
{
    while (!text.empty()) {
        const std::size_t end = text.find(';');
        const std::string_view item = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const std::size_t eq = item.find('=');
        if (eq == std::string_view::npos || eq == 0)
            continue;
        map[std::string(item.substr(0, eq))] = std::string(item.substr(eq + 1));
    }
}

// Called with the lock held.
void loadDefaults(TState& s)
{
    if (s.loaded)
        return;
    s.loaded = true;
    parseInto(s.config, kProbeBundleConfig);
    if (const char* env = std::getenv("MW_PROBE_CONFIG"))
        parseInto(s.config, env);
}

std::atomic<std::int32_t> g_live{0};

} // namespace

std::string config(std::string_view key, std::string_view fallback)
{
    TState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    loadDefaults(s);
    auto it = s.config.find(key);
    return it == s.config.end() ? std::string(fallback) : it->second;
}

HRESULT configResult(std::string_view key, HRESULT fallback)
{
    const std::string text = config(key);
    if (text.empty())
        return fallback;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (!end || *end != 0)
        return fallback;
    return static_cast<HRESULT>(static_cast<std::uint32_t>(value));
}

bool configListHas(std::string_view key, std::string_view name, std::string_view fallback)
{
    const std::string list = config(key, fallback);
    if (list == "all")
        return true;
    std::string_view rest = list;
    while (!rest.empty()) {
        const std::size_t end = rest.find(',');
        if (rest.substr(0, end) == name)
            return true;
        if (end == std::string_view::npos)
            break;
        rest = rest.substr(end + 1);
    }
    return false;
}

CFUUIDBytes configUuid(std::string_view key)
{
    CFUUIDBytes id{};
    NS_KAV::parseUuid(config(key), id);
    return id;
}

void addConfig(std::string_view text)
{
    TState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    loadDefaults(s);
    parseInto(s.config, text);
}

void resetConfig()
{
    TState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.config.clear();
    s.loaded = false;
}

void log(const std::string& line)
{
    TState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.log.push_back(line);
}

std::string logText()
{
    TState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    std::string text;
    for (const std::string& line : s.log) {
        text += line;
        text += '\n';
    }
    return text;
}

void clearLog()
{
    TState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.log.clear();
}

void objectCreated() { ++g_live; }
void objectDestroyed() { --g_live; }
std::int32_t liveObjects() { return g_live.load(); }

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

} // namespace NS_Probe
