#include "termcore/TransmitJob.h"

#include "termcore/HexConverter.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace termcore {

TransmitJob::~TransmitJob()
{
    cancel();
    finish();
}

bool TransmitJob::open(const std::string& path)
{
    if (active())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    struct stat st {};
    if (::fstat(fileno(file), &st) != 0 || S_ISDIR(st.st_mode)) {
        std::fclose(file);
        return false;
    }
    file_ = file;
    path_ = path;
    isHex_ = isHexFileName(path);
    sent_ = 0;
    // A raw file's total is known at once; a hex file's only after its conversion.
    total_ = isHex_ ? 0 : static_cast<uint64_t>(st.st_size);
    hexCode_ = -1;
    outcome_ = Outcome::Idle;
    return true;
}

bool TransmitJob::start(Writer writer, const std::atomic<bool>* bytesum, Ended ended)
{
    if (!file_ || worker_.joinable() || !writer)
        return false;
    writer_ = std::move(writer);
    ended_ = std::move(ended);
    bytesum_ = bytesum;
    cancel_ = false;
    outcome_ = Outcome::Running;
    worker_ = std::thread([this] { run(); });
    return true;
}

void TransmitJob::cancel()
{
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
    Outcome expected = Outcome::Running;
    outcome_.compare_exchange_strong(expected, Outcome::Cancelled);
}

TransmitJob::Outcome TransmitJob::finish()
{
    if (worker_.joinable())
        worker_.join();
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    writer_ = {};
    ended_ = {};
    return outcome_.load();
}

bool TransmitJob::writeChunk(const uint8_t* data, size_t count)
{
    // Checked before every chunk, so that nothing goes out once cancel() has been asked.
    if (cancel_.load())
        return false;
    return writer_(data, count);
}

bool TransmitJob::sendChunks(const uint8_t* data, uint64_t size, uint8_t* sum)
{
    uint64_t done = 0;
    while (done < size) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kChunkSize, size - done));
        if (!writeChunk(data + done, n))
            return false;
        for (size_t i = 0; i < n; ++i)
            *sum = static_cast<uint8_t>(*sum + data[done + i]);
        done += n;
        sent_ = done;
    }
    return true;
}

void TransmitJob::run()
{
    Outcome outcome = Outcome::Succeeded;
    auto sumOn = [this] { return bytesum_ && bytesum_->load(); };
    auto failedWrite = [this] { return cancel_.load() ? Outcome::Cancelled : Outcome::WriteFailed; };

    if (!isHex_) {
        struct stat st {};
        const uint64_t size = ::fstat(fileno(file_), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
        total_ = size;
        uint8_t sum = 0;
        uint8_t chunk[kChunkSize];
        uint64_t sent = 0;
        while (sent < size && outcome == Outcome::Succeeded) {
            const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunkSize, size - sent));
            const size_t got = std::fread(chunk, 1, want, file_);
            if (got > 0) {
                // A short read sends only the bytes that were read.
                if (!writeChunk(chunk, got)) {
                    outcome = failedWrite();
                    break;
                }
                for (size_t i = 0; i < got; ++i)
                    sum = static_cast<uint8_t>(sum + chunk[i]);
                sent += got;
                sent_ = sent;
            }
            if (got < want && (std::ferror(file_) || std::feof(file_)))
                outcome = Outcome::ReadFailed;
        }
        if (outcome == Outcome::Succeeded && sumOn() && !writeChunk(&sum, 1))
            outcome = failedWrite();
    } else {
        HexConversion image = convertIntelHex([this]() -> int { return std::fgetc(file_); }, sumOn(),
                                              [this] { return cancel_.load(); });
        if (cancel_.load()) {
            outcome = Outcome::Cancelled;
        } else if (!image.ok()) {
            hexCode_ = image.code;
            outcome = Outcome::HexFailed;
        } else {
            total_ = image.sendSize();
            uint8_t sum = 0;
            if (!sendChunks(image.sendData(), image.sendSize(), &sum))
                outcome = failedWrite();
        }
    }
    if (outcome == Outcome::Succeeded)
        sent_ = total_.load();
    Outcome expected = Outcome::Running;
    outcome_.compare_exchange_strong(expected, outcome);
    if (ended_)
        ended_();
}

} // namespace termcore
