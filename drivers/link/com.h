// The byte link under every driver library: a process-wide table of 256 ports. Numbers 0..127 are serial
// ports (COM1..COM128); in the LAN-capable flavours 128..255 are LAN connections registered with
// NewMPILanCom, in the serial-only flavour they are serial ports too (COM129..COM256).
//
// The protocol layers call only these functions (and nothing of the operating system). A test can route
// every call to a scripted fake with ScopedLinkOverride (byte_link.h, fake_link.h).
//
// Results are 1 for success and 0 for failure unless said otherwise. Time-outs are counted in ticks of 55 ms.
#pragma once

#include <cstdint>

namespace vaultra::link {

using Port = std::uint16_t;

inline constexpr int kPortCount = 256;
inline constexpr Port kFirstLanPort = 128;
inline constexpr std::uint32_t kTickMs = 55;
inline constexpr int kPushBackSize = 16;

// Trace directions of ComTrace; 0 marks a block pause of the S5 protocol.
inline constexpr int kTracePause = 0;
inline constexpr int kTraceSent = 1;
inline constexpr int kTraceReceived = 2;

// Opens the port on first use (baud 0 = 115200; 1200..57600 as given except 9600; anything else 9600;
// parity 'E'/'e' even, 'O'/'o' odd, else none; stopBits 2 = two, else one), sleeps 9 ticks and flushes.
// Every call counts an open; a second open keeps the first settings.
int ComOpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity, std::int32_t stopBits);
// 0 if the port is not in use; else counts the open down and closes the device at 0. Closes the trace first.
int ComRelease(Port port);
// Closes unconditionally (a LAN record is freed with its registration).
int ComClose(Port port);
// Closes the trace and every open port (library unload).
void ComCloseAll();

// One byte: the push-back ring first, then the line, waiting up to the line's read time-out.
int ComReadByte(Port port, std::uint8_t* out);
// One byte within timeoutTicks: serial ports make timeoutTicks / F attempts (at least one) of one read
// time-out each; LAN ports wait timeoutTicks * 55 ms.
int ComReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks);
// 1 if a byte can be read without waiting.
int ComHasInput(Port port);
// Stores a byte that the next read returns (FIFO, 16 bytes, no overflow check); 1.
int ComPushBack(Port port, std::uint8_t value);
int ComWriteByte(Port port, std::uint8_t value);
// Writes n bytes in one go; LAN framing type 2 prefixes the length (at most 1022 data bytes), type 3 a TPKT
// header (at most 1024 bytes including the header), type 1 at most 1024 bytes.
int ComWrite(Port port, const std::uint8_t* data, std::int32_t n);
// Reads one packet into buffer, waiting up to the line's read time-out; returns the number of bytes stored
// (0 when nothing arrived or the packet broke off). ISO-on-TCP (framing type 3): the payload of the next
// TPKT, its header stripped; bytes beyond capacity are read and dropped. Other ports: the bytes that are
// buffered (at least one, waiting for it), up to capacity. The push-back ring is not consulted.
std::int32_t ComReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity);
// 1 when the last read of a LAN port ended because there was no working connection: the peer had closed or
// reset it, its stream broke, or none could be made. A silent peer on a live connection gives 0, and so does
// a serial port. Lets a protocol fail at once where waiting on could never bring the answer.
int ComConnectionLost(Port port);
// Discards everything buffered in both directions and empties the push-back ring.
int ComFlush(Port port);
// Break condition for the given ticks (LAN ports: like ComFlush).
int ComBreak(Port port, std::int32_t ticks);
// A 5 ms break, busy-waited on the monotonic clock.
int ComPulseBreak(Port port);
// The open device's handle (the file descriptor on Linux) or null when closed.
void* ComGetHandleOf(Port port);

// Character-timeout factor F of the serial read time-outs: 90 after loading (the S5 value); the S7 layer sets
// 16 or 109. One serial read attempt waits F * 55 ms + 1000 ms when F <= 16, else 1000 ms; the factor counts
// from the next read on.
void ComSetCharTimeoutFactor(std::int32_t factor);
std::int32_t ComCharTimeoutFactor();

// Line trace to "RS232DMP.TXT" in the working directory; the protocol layer switches it with bit 0x4 of
// its flag word. ComTrace is called by the link for every byte; the S5 layer also traces block pauses.
void ComSetTraceEnabled(bool on);
bool ComTraceEnabled();
void ComTrace(int direction, std::uint8_t value);
void ComTraceClose();

// Monotonic milliseconds / 55.
std::uint32_t TicksNow();
// Milliseconds of the same clock (finer than ticks, e.g. for 10 ms polling).
std::uint64_t MillisecondsNow();
void SleepTicks(std::uint32_t ticks);
void SleepMs(std::uint32_t ms);

}  // namespace vaultra::link
