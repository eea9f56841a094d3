#pragma once
// The stream a component's IPersistStream reads and writes: raw bytes through a data
// stream over a device that the document code owns. Used on the GUI thread only.

#include <kav/KAVComObject.h>

#include <QDataStream>
#include <QIODevice>
#include <QPointer>

#include <cstdint>
#include <memory>

class ClientIStream : public TKAVComObject<ClientIStream, IStream>
{
public:
    static constexpr char kClassName[] = "ClientIStream";
    // Largest block CopyTo moves at once.
    static constexpr std::uint32_t kCopyChunk = 0x10000;

    ClientIStream(IUnknown* outer, const CFUUIDBytes& factoryID, bool registerFactory);

    // ISequentialStream. `done` receives the bytes really moved. A short read is S_FALSE
    // and zero-fills the rest of the buffer; a short write is E_FAIL.
    HRESULT Read(void* buffer, std::uint32_t count, std::uint32_t* done) override;
    HRESULT Write(const void* buffer, std::uint32_t count, std::uint32_t* done) override;

    // IStream. Seek origins: 0 start, 1 current position, 2 end.
    HRESULT Seek(LARGE_INTEGER offset, std::uint32_t origin, ULARGE_INTEGER* position) override;
    HRESULT SetSize(ULARGE_INTEGER size) override;
    HRESULT CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override;
    HRESULT Commit(std::uint32_t flags) override;
    HRESULT Revert() override;
    HRESULT LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, std::uint32_t type) override;
    HRESULT UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count, std::uint32_t type) override;
    HRESULT Stat(tagSTATSTG* stat, std::uint32_t flags) override;
    HRESULT Clone(IStream** clone) override;

    ~ClientIStream() override;
    HRESULT Init() override;

    // Host side: the device to read and write; the caller keeps it alive while the stream
    // is in use. A device destroyed meanwhile is noticed and the stream fails cleanly.
    void setIODevice(QIODevice& device);
    void detachIODevice();
    QIODevice* device();

private:
    std::unique_ptr<QDataStream> m_stream;
    QPointer<QIODevice> m_device;
};
