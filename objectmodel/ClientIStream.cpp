#include "ClientIStream.h"

#include "NS_Utilities.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr const char* kSource = "ClientIStream.cpp";

// QDataStream moves at most an int's worth of bytes per call.
constexpr std::uint32_t kMaxBlock = 1u << 30;

enum ESeekOrigin : std::uint32_t { eSeekSet = 0, eSeekCur = 1, eSeekEnd = 2 };

} // namespace

ClientIStream::ClientIStream(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory)
    : TKAVComObject(outer, factoryID, registerFactory)
{
}

ClientIStream::~ClientIStream() = default;

HRESULT ClientIStream::Init()
{
    m_stream.reset(new (std::nothrow) QDataStream());
    return S_OK;
}

void ClientIStream::setIODevice(QIODevice& device)
{
    if (!m_stream)
        return;
    m_stream->setDevice(&device);
    m_stream->resetStatus();
    m_device = &device;
}

void ClientIStream::detachIODevice()
{
    if (m_stream)
        m_stream->setDevice(nullptr);
    m_device = nullptr;
}

QIODevice* ClientIStream::device()
{
    if (!m_stream)
        return nullptr;
    // The device went away behind our back: never touch the dangling pointer.
    if (!m_device && m_stream->device())
        m_stream->setDevice(nullptr);
    return m_stream->device();
}

HRESULT ClientIStream::Read(void* buffer, std::uint32_t count, std::uint32_t* done)
{
    if (done)
        *done = 0;
    if (!device())
        return E_FAIL;
    if (count == 0)
        return S_OK;
    if (!buffer)
        return E_POINTER;

    // Each call stands on its own: an earlier short read does not poison this one.
    m_stream->resetStatus();
    auto* bytes = static_cast<char*>(buffer);
    std::uint32_t total = 0;
    while (total < count) {
        const std::uint32_t block = std::min(count - total, kMaxBlock);
        const qint64 got = m_stream->readRawData(bytes + total, static_cast<int>(block));
        if (got < 0) {
            if (total == 0)
                return E_FAIL;
            break;
        }
        total += static_cast<std::uint32_t>(got);
        if (static_cast<std::uint32_t>(got) < block)
            break;
    }
    if (done)
        *done = total;
    if (total < count) {
        // A reader that ignores `done` sees zeros, not stale memory.
        std::memset(bytes + total, 0, count - total);
        return S_FALSE;
    }
    return S_OK;
}

HRESULT ClientIStream::Write(const void* buffer, std::uint32_t count, std::uint32_t* done)
{
    if (done)
        *done = 0;
    if (!device())
        return E_FAIL;
    if (count == 0)
        return S_OK;
    if (!buffer)
        return E_POINTER;

    m_stream->resetStatus();
    const auto* bytes = static_cast<const char*>(buffer);
    std::uint32_t total = 0;
    while (total < count) {
        const std::uint32_t block = std::min(count - total, kMaxBlock);
        const qint64 put = m_stream->writeRawData(bytes + total, static_cast<int>(block));
        if (put <= 0)
            break;
        total += static_cast<std::uint32_t>(put);
        if (static_cast<std::uint32_t>(put) < block)
            break;
    }
    if (done)
        *done = total;
    return total == count ? S_OK : E_FAIL;
}

HRESULT ClientIStream::Seek(LARGE_INTEGER offset, std::uint32_t origin, ULARGE_INTEGER* position)
{
    MW_ASSERT_TEXT(m_stream != nullptr, "status == S_OK", kSource);
    if (!m_stream)
        return E_FAIL;

    QIODevice* dev = device();
    bool ok = false;
    if (dev) {
        qint64 base = 0;
        ok = true;
        switch (origin) {
        case eSeekSet:
            break;
        case eSeekCur:
            base = dev->pos();
            break;
        case eSeekEnd:
            base = dev->size();
            break;
        default:
            ok = false;
            break;
        }
        qint64 target = 0;
        if (ok)
            ok = !__builtin_add_overflow(base, offset, &target) && target >= 0;
        // Checked here so that the device is never asked for an impossible position.
        if (ok)
            ok = dev->seek(target);
        if (ok)
            m_stream->resetStatus();
        if (position)
            *position = static_cast<ULARGE_INTEGER>(std::max<qint64>(dev->pos(), 0));
    }
    MW_ASSERT_TEXT(ok, "status == S_OK", kSource);
    return ok ? S_OK : E_FAIL;
}

HRESULT ClientIStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                              ULARGE_INTEGER* written)
{
    if (!target)
        return STG_E_INVALIDPOINTER;
    if (!device())
        return E_FAIL;
    if (read)
        *read = 0;
    if (written)
        *written = 0;
    if (count == 0)
        return S_OK;

    const std::uint32_t chunk = static_cast<std::uint32_t>(std::min<ULARGE_INTEGER>(count, kCopyChunk));
    auto* buffer = static_cast<char*>(std::malloc(chunk));
    if (!buffer)
        return E_FAIL;

    // Only what was really read is passed on: the target never gets bytes past our end.
    HRESULT result = S_OK;
    ULARGE_INTEGER remaining = count;
    m_stream->resetStatus();
    while (remaining > 0) {
        const std::uint32_t want = static_cast<std::uint32_t>(std::min<ULARGE_INTEGER>(remaining, chunk));
        const qint64 got = m_stream->readRawData(buffer, static_cast<int>(want));
        if (got <= 0)
            break;
        std::uint32_t put = 0;
        const HRESULT hr = target->Write(buffer, static_cast<std::uint32_t>(got), &put);
        if (read)
            *read += static_cast<ULARGE_INTEGER>(got);
        if (written)
            *written += put;
        if (hr != S_OK) {
            result = FAILED(hr) ? hr : S_OK;
            break;
        }
        remaining -= static_cast<ULARGE_INTEGER>(got);
        if (static_cast<std::uint32_t>(got) < want)
            break;
    }
    std::free(buffer);
    return result;
}

HRESULT ClientIStream::SetSize(ULARGE_INTEGER)
{
    return E_NOTIMPL;
}

HRESULT ClientIStream::Commit(std::uint32_t)
{
    return E_NOTIMPL;
}

HRESULT ClientIStream::Revert()
{
    return E_NOTIMPL;
}

HRESULT ClientIStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t)
{
    return E_NOTIMPL;
}

HRESULT ClientIStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, std::uint32_t)
{
    return E_NOTIMPL;
}

HRESULT ClientIStream::Stat(tagSTATSTG*, std::uint32_t)
{
    return E_NOTIMPL;
}

HRESULT ClientIStream::Clone(IStream** clone)
{
    if (clone)
        *clone = nullptr;
    return E_NOTIMPL;
}
