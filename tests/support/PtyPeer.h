#pragma once
// The far end of a pseudo-terminal, for tests that need a device without a simulator: the code
// under test opens slavePath() like a serial port, the test (or a scripted controller) reads and
// writes the master side.
//
//     testsupport::PtyPeer pty;
//     ASSERT_TRUE(pty.ok());
//     port.open(pty.slavePath(), 57600);
//     pty.send("hello");
//     pty.startCollecting();
//     EXPECT_EQ(pty.waitFor(5), "world");
//     pty.unplug(); // the device disappears
//
// A slave descriptor stays open for the peer's whole life (in raw mode), so the master never reads
// EIO while the code under test has the device closed, and bytes sent then wait for it. The
// master is non-blocking.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace testsupport {

class PtyPeer {
  public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool ok() const { return master_ >= 0 && slaveKeeper_ >= 0 && !slavePath_.empty(); }
    // The path the code under test opens, e.g. "/dev/pts/7".
    const std::string& slavePath() const { return slavePath_; }

    // Writes all of bytes, waiting for room in the pty for up to timeoutMs in all.
    // False when not everything went (timeout, or unplugged).
    bool send(const std::string& bytes, int timeoutMs = 5000);
    bool send(const uint8_t* data, size_t size, int timeoutMs = 5000);
    // One write: how many bytes the pty took now (0 when it is full or unplugged).
    size_t sendSome(const uint8_t* data, size_t size);

    // Everything that can be read now, without waiting.
    std::string receive();
    // Waits up to timeoutMs for the master to have something to read.
    bool waitReadable(int timeoutMs);

    // A background reader that collects everything arriving, so that a sender on the slave side
    // never stalls on a full pty. While it runs, read through waitFor()/collected() only.
    void startCollecting();
    // Waits until at least count bytes were collected (or timeoutMs passed); returns them all.
    std::string waitFor(size_t count, int timeoutMs = 5000);
    std::string collected();
    void reset(); // forgets what was collected

    // The device disappears, like a controller unplugged: the master closes, so the slave side
    // reads end-of-file or EIO. Stops the collector first.
    void unplug();

  private:
    void stopCollecting();

    int master_ = -1;
    int slaveKeeper_ = -1;
    std::string slavePath_;

    std::thread reader_;
    std::atomic<bool> collecting_{false};
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string data_;
};

} // namespace testsupport
