#pragma once
// What a controller link talks through: bytes out with a bound on the wait, bytes in as they
// have arrived, and a wait for the next ones. The serial port is the real channel; tests put the
// simulated controller behind one in-process.

#include <cstddef>
#include <string>

namespace platform {

class ByteChannel {
  public:
    // How long a write may wait for the far end to take its bytes.
    static constexpr int kWriteBoundMs = 1000;

    virtual ~ByteChannel() = default;

    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // Writes all count bytes within kWriteBoundMs; false on a time-out, an error or a closed
    // channel, with what went out in *written (if given).
    virtual bool write(const void* data, size_t count, size_t* written = nullptr) = 0;
    bool write(const std::string& text) { return write(text.data(), text.size()); }
    // What has arrived, at most maxCount bytes, without waiting: true with *got = 0 when nothing
    // waits; false on a failed or closed channel.
    virtual bool read(void* buffer, size_t maxCount, size_t* got) = 0;
    // Waits until bytes can be read or timeoutMs has passed; true when readable (or failed).
    virtual bool waitReadable(int timeoutMs) = 0;
    // Drops what has arrived and not been read.
    virtual bool purgeInput() = 0;
    // Bytes that have arrived and wait to be read.
    virtual int bytesWaiting() = 0;
    // A sentence for a user on why the last open or transfer failed.
    virtual std::string lastErrorText() const = 0;
};

} // namespace platform
