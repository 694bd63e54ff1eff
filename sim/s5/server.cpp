#include "sim/s5/server.h"

#include <atomic>
#include <cstdio>
#include <list>
#include <memory>
#include <thread>

#include "platform/poller.h"
#include "platform/pty.h"
#include "platform/server_socket.h"
#include "platform/signals.h"
#include "sim/s5/session.h"
#include "sim/s5/wires.h"

namespace vaultra::sim::s5 {
namespace {

void Say(const std::string& line) {
    std::printf("plcsim s5: %s\n", line.c_str());
    std::fflush(stdout);
}

// One accepted TCP connection served on its own thread.
struct Connection {
    std::unique_ptr<platform::StreamConnection> stream;
    std::atomic<bool> done{false};
    std::thread thread;
};

class Runner {
public:
    Runner(Plc& plc, const ServeOptions& options) : plc_(plc), options_(options) {}

    bool Open(std::string* error);
    int Run();

private:
    bool Listen(std::uint16_t port, bool framed, std::string* error);
    void Accept(platform::ListeningSocket& socket, bool framed);
    void ServeStream(Connection& c, bool framed, std::string name);
    void Reap(bool all);
    void Dump();

    Plc& plc_;
    const ServeOptions& options_;
    std::atomic<bool> stop_{false};
    platform::Poller poller_;
    std::unique_ptr<platform::SignalWatcher> signals_;
    std::list<std::unique_ptr<platform::ListeningSocket>> listeners_;
    std::list<Connection> connections_;
    std::unique_ptr<platform::PseudoTerminal> pty_;
    std::thread ptyThread_;
    unsigned count_ = 0;
};

bool Runner::Listen(std::uint16_t port, bool framed, std::string* error) {
    auto socket = platform::ListeningSocket::Open(port, error);
    if (!socket) {
        return false;
    }
    Say(std::string(framed ? "lan-framed" : "lan-raw") + " 127.0.0.1:" + std::to_string(socket->Port()));
    platform::ListeningSocket* raw = socket.get();
    poller_.Watch(raw->Fd(), [this, raw, framed] { Accept(*raw, framed); });
    listeners_.push_back(std::move(socket));
    return true;
}

void Runner::ServeStream(Connection& c, bool framed, std::string name) {
    FdWire raw(
        c.stream->Fd(), [&c](ByteView bytes) { return c.stream->WriteAll(bytes); }, true);
    FramedWire frames(raw);
    Wire& wire = framed ? static_cast<Wire&>(frames) : raw;
    Session(plc_, wire, name, stop_).Run();
    plc_.Logger().Trace(name + ": connection ends");
    c.done = true;
}

void Runner::Accept(platform::ListeningSocket& socket, bool framed) {
    auto stream = socket.Accept();
    if (!stream) {
        return;
    }
    Reap(false);
    Connection& c = connections_.emplace_back();
    c.stream = std::move(stream);
    const std::string name = std::string(framed ? "lan-framed#" : "lan-raw#") + std::to_string(++count_);
    c.thread = std::thread([this, &c, framed, name] { ServeStream(c, framed, name); });
}

void Runner::Reap(bool all) {
    for (auto it = connections_.begin(); it != connections_.end();) {
        if (all || it->done) {
            it->thread.join();
            it->stream->Abort();
            it = connections_.erase(it);
        } else {
            ++it;
        }
    }
}

void Runner::Dump() {
    if (!options_.dumpDir) {
        return;
    }
    std::string error;
    std::lock_guard lock(plc_.Mutex());
    if (plc_.Dump(*options_.dumpDir, &error)) {
        Say("dumped " + options_.dumpDir->string());
    } else {
        plc_.Logger().Note("dump failed: " + error);
        Say("dump failed");
    }
}

bool Runner::Open(std::string* error) {
    signals_ = platform::SignalWatcher::Install();
    if (!signals_) {
        *error = "signal handling could not be installed";
        return false;
    }
    poller_.Watch(signals_->Fd(), [this] {
        for (platform::ProcessSignal s : signals_->TakePending()) {
            if (s == platform::ProcessSignal::User1) {
                if (options_.onUser1) {
                    std::lock_guard lock(plc_.Mutex());
                    options_.onUser1();
                }
                Dump();
            } else {
                stop_ = true;
            }
        }
    });
    if ((options_.lanRawPort && !Listen(*options_.lanRawPort, false, error)) ||
        (options_.lanFramedPort && !Listen(*options_.lanFramedPort, true, error))) {
        return false;
    }
    if (options_.pty) {
        pty_ = platform::PseudoTerminal::Create(*options_.pty, error);
        if (!pty_) {
            *error = "as511-pty " + *error;
            return false;
        }
        Say("as511-pty " + options_.pty->string());
        ptyThread_ = std::thread([this] {
            FdWire raw(
                pty_->Fd(), [this](ByteView bytes) { return pty_->WriteAll(bytes); }, false);
            PacedWire paced(raw, options_.ptyBaud == 0 ? 1 : options_.ptyBaud);
            Wire& wire = options_.ptyBaud == 0 ? static_cast<Wire&>(raw) : paced;
            Session(plc_, wire, "as511-pty", stop_).Run();
        });
    }
    return true;
}

int Runner::Run() {
    Say("ready");
    int status = 0;
    while (!stop_) {
        if (!poller_.RunOnce(std::chrono::milliseconds(100))) {
            plc_.Logger().Note("waiting for events failed");
            status = 1;
            break;
        }
        Reap(false);
    }
    stop_ = true;
    if (ptyThread_.joinable()) {
        ptyThread_.join();
    }
    Reap(true);
    Dump();
    return status;
}

}  // namespace

int Serve(Plc& plc, const ServeOptions& options) {
    Runner runner(plc, options);
    std::string error;
    if (!runner.Open(&error)) {
        plc.Logger().Note(error);
        return 1;
    }
    return runner.Run();
}

}  // namespace vaultra::sim::s5
