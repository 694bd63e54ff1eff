// One programming-port connection of the simulated S5 PLC: waits for function requests and serves them
// one at a time, the PLC answering only what it is asked.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "sim/s5/plc.h"
#include "sim/s5/plc_line.h"

namespace vaultra::sim::s5 {

class Session {
public:
    Session(Plc& plc, Wire& wire, std::string name, const std::atomic<bool>& stop);
    // Serves until the connection closes or stop is set.
    void Run();

    static constexpr std::chrono::milliseconds kByteWait{3000};

private:
    void OnSelect(std::uint8_t b);
    void ServeFunction();
    void Dispatch(std::uint8_t code);
    bool Accept() { return line_.SendTelegram(Bytes{kSyn}); }
    bool Closing() { return line_.SendTelegram(Bytes{0x12}); }
    void Refuse();
    std::optional<Bytes> Parameters(std::size_t limit = 64) { return line_.ReceiveData(limit); }
    // Accepts the function and takes its parameter telegram; nullopt unless it holds exactly size bytes.
    std::optional<Bytes> Request(std::size_t size);
    // The reply telegram, then the end of the function.
    void Answer(const Bytes& reply) {
        if (line_.SendTelegram(reply)) {
            Closing();
        }
    }
    // The status byte of a reply about the block a parameter telegram names (0 found, else absent).
    const Plc::Entry* FindBlock(ByteView p, Bytes& reply);

    void SystemParameters();
    void Directory();
    void BlockInfo();
    void ReadBlock();
    void CreateBlock();
    void DeleteBlock();
    void ReadMemory();
    void WriteMemory();
    void StartStop();
    void TwoValues();
    void BlockStack();
    void InterruptStack();
    void ForcePrepare();
    void ForceRequest();
    void Simple(void (Plc::*action)());

    Plc& plc_;
    PlcLine line_;
    std::string name_;
    const std::atomic<bool>& stop_;
    unsigned functions_ = 0;
    bool silent_ = false;
    bool closed_ = false;
    bool selected_ = false;
};

}  // namespace vaultra::sim::s5
