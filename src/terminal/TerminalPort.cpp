#include "terminal/TerminalPort.h"

namespace terminal {

bool TerminalPort::open(const std::string& name, int baudRate, DataReady ready)
{
    close();
    ready_ = std::move(ready);
    pending_.store(false);
    const bool ok = port_.open(name, baudRate, [this] {
        if (!pending_.exchange(true) && ready_)
            ready_();
    });
    if (!ok) {
        ready_ = nullptr;
        return false;
    }
    name_ = name;
    baudRate_ = baudRate;
    return true;
}

void TerminalPort::close()
{
    // SerialPort::close joins the watcher before the descriptor goes, so ready_ is no longer
    // called once this returns.
    port_.close();
    ready_ = nullptr;
    pending_.store(false);
}

bool TerminalPort::write(const void* data, size_t count)
{
    if (count == 0)
        return port_.isOpen();
    return port_.write(data, count);
}

long TerminalPort::read(void* buffer, size_t capacity)
{
    size_t got = 0;
    if (!port_.read(buffer, capacity, &got))
        return -1;
    return static_cast<long>(got);
}

std::vector<std::string> TerminalPort::enumerate(int capacity)
{
    return comm::SerialPort::enumeratePorts(capacity);
}

} // namespace terminal
