#include "sim/server.h"

#include <cstdio>
#include <map>

#include "platform/poller.h"
#include "platform/pty.h"
#include "platform/server_socket.h"
#include "platform/signals.h"
#include "sim/transport/iso_tcp.h"
#include "sim/transport/lan_framed.h"
#include "sim/transport/mpi_adapter.h"

namespace vaultra::sim {

namespace {

using Clock = ProtocolHandler::Clock;
constexpr std::chrono::milliseconds kTick(10);
constexpr std::size_t kReadChunk = 4096;

enum class Kind { IsoTcp, LanRaw, LanFramed };

std::string KindName(Kind kind) {
    switch (kind) {
        case Kind::IsoTcp:
            return "iso-tcp";
        case Kind::LanRaw:
            return "lan-raw";
        case Kind::LanFramed:
            return "lan-framed";
    }
    return "?";
}

struct Listener {
    Kind kind;
    std::unique_ptr<platform::ListeningSocket> socket;
};

struct Connection {
    std::unique_ptr<platform::StreamConnection> stream;
    std::unique_ptr<ProtocolHandler> handler;
};

}  // namespace

struct Server::Impl {
    s7::Plc& plc;
    TransportOptions options;
    platform::Poller poller;
    std::vector<Listener> listeners;
    std::map<int, Connection> connections;
    std::unique_ptr<platform::PseudoTerminal> pty;
    std::unique_ptr<ProtocolHandler> ptyHandler;
    std::unique_ptr<platform::SignalWatcher> signals;
    unsigned connectionCount = 0;
    bool stopping = false;

    Impl(s7::Plc& p, TransportOptions o) : plc(p), options(std::move(o)) {}

    std::unique_ptr<ProtocolHandler> MakeHandler(Kind kind, const std::string& name) {
        switch (kind) {
            case Kind::IsoTcp:
                return std::make_unique<IsoTcpConnection>(plc, name);
            case Kind::LanRaw:
                return std::make_unique<MpiAdapter>(plc, name);
            case Kind::LanFramed:
                return std::make_unique<LanFramedAdapter>(plc, name);
        }
        return nullptr;
    }

    bool OpenListener(Kind kind, std::uint16_t port, std::vector<std::string>& lines, std::string* error) {
        auto socket = platform::ListeningSocket::Open(port, error);
        if (!socket) {
            *error = KindName(kind) + " " + *error;
            return false;
        }
        lines.push_back("plcsim s7: " + KindName(kind) + " 127.0.0.1:" + std::to_string(socket->Port()));
        platform::ListeningSocket* raw = socket.get();
        poller.Watch(raw->Fd(), [this, kind, raw] { Accept(kind, *raw); });
        listeners.push_back({kind, std::move(socket)});
        return true;
    }

    void Accept(Kind kind, platform::ListeningSocket& socket) {
        auto stream = socket.Accept();
        if (!stream) {
            return;
        }
        const std::string name = KindName(kind) + "#" + std::to_string(++connectionCount);
        plc.Logger().Trace(name + ": connection accepted");
        const int fd = stream->Fd();
        connections[fd] = Connection{std::move(stream), MakeHandler(kind, name)};
        poller.Watch(fd, [this, fd] { ServeConnection(fd); });
    }

    void Close(int fd) {
        poller.Unwatch(fd);
        const auto it = connections.find(fd);
        if (it != connections.end()) {
            it->second.stream->Abort();
            connections.erase(it);
        }
    }

    // Writes the handler's output; false when the connection is to be closed.
    static bool Deliver(platform::StreamConnection& stream, const TransportOutput& out) {
        if (!out.bytes.empty() && !stream.WriteAll(out.bytes)) {
            return false;
        }
        return !out.close;
    }

    void ServeConnection(int fd) {
        Connection& connection = connections.at(fd);
        std::uint8_t chunk[kReadChunk];
        const platform::ReadOutcome read = connection.stream->ReadSome(chunk);
        if (read.closed) {
            plc.Logger().Trace("connection closed by the client");
            Close(fd);
            return;
        }
        const TransportOutput out = connection.handler->OnBytes(ByteView(chunk, read.count), Clock::now());
        if (!Deliver(*connection.stream, out)) {
            Close(fd);
        }
    }

    void ServePty() {
        std::uint8_t chunk[kReadChunk];
        const platform::ReadOutcome read = pty->ReadSome(chunk);
        if (read.count == 0) {
            return;
        }
        const TransportOutput out = ptyHandler->OnBytes(ByteView(chunk, read.count), Clock::now());
        if (!out.bytes.empty()) {
            pty->WriteAll(out.bytes);
        }
    }

    void Tick() {
        const auto now = Clock::now();
        if (ptyHandler) {
            const TransportOutput out = ptyHandler->OnTick(now);
            if (!out.bytes.empty()) {
                pty->WriteAll(out.bytes);
            }
        }
        std::vector<int> closing;
        for (auto& [fd, connection] : connections) {
            if (!Deliver(*connection.stream, connection.handler->OnTick(now))) {
                closing.push_back(fd);
            }
        }
        for (int fd : closing) {
            Close(fd);
        }
    }

    void Dump() {
        if (!options.dumpDir) {
            return;
        }
        std::string error;
        // The line on standard output lets a waiting test know the files are complete.
        if (s7::DumpProgram(plc.Blocks(), *options.dumpDir, &error)) {
            std::printf("plcsim s7: dumped %s\n", options.dumpDir->c_str());
        } else {
            plc.Logger().Note("dump failed: " + error);
            std::printf("plcsim s7: dump failed\n");
        }
        std::fflush(stdout);
    }

    void OnSignals() {
        for (platform::ProcessSignal signal : signals->TakePending()) {
            if (signal == platform::ProcessSignal::User1) {
                if (options.onUser1) {
                    options.onUser1();
                }
                Dump();
            } else {
                stopping = true;
            }
        }
    }
};

Server::Server(s7::Plc& plc, TransportOptions options)
    : impl_(std::make_unique<Impl>(plc, std::move(options))) {}

Server::~Server() = default;

bool Server::Open(std::vector<std::string>& lines, std::string* error) {
    Impl& s = *impl_;
    s.signals = platform::SignalWatcher::Install();
    if (!s.signals) {
        *error = "signal handling could not be installed";
        return false;
    }
    s.poller.Watch(s.signals->Fd(), [&s] { s.OnSignals(); });
    const std::pair<Kind, std::optional<std::uint16_t>> ports[] = {
        {Kind::IsoTcp, s.options.isoPort},
        {Kind::LanRaw, s.options.lanRawPort},
        {Kind::LanFramed, s.options.lanFramedPort}};
    for (const auto& [kind, port] : ports) {
        if (port && !s.OpenListener(kind, *port, lines, error)) {
            return false;
        }
    }
    if (s.options.mpiPty) {
        s.pty = platform::PseudoTerminal::Create(*s.options.mpiPty, error);
        if (!s.pty) {
            *error = "mpi-pty " + *error;
            return false;
        }
        s.ptyHandler = std::make_unique<MpiAdapter>(s.plc, "mpi-pty");
        s.poller.Watch(s.pty->Fd(), [&s] { s.ServePty(); });
        lines.push_back("plcsim s7: mpi-pty " + s.options.mpiPty->string());
    }
    return true;
}

int Server::Run() {
    Impl& s = *impl_;
    while (!s.stopping) {
        if (!s.poller.RunOnce(kTick)) {
            s.plc.Logger().Note("waiting for events failed");
            break;
        }
        s.Tick();
    }
    s.Dump();
    return 0;
}

}  // namespace vaultra::sim
