#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace ignivex {

namespace comm {
// The modem-line and break events of the OnComm event, beside the line faults in
// SerialControl.h.
inline constexpr int EvCTS = 3;
inline constexpr int EvDSR = 4;
inline constexpr int EvCD = 5;
inline constexpr int EvRing = 6;
inline constexpr int ErBreak = 1001;
}  // namespace comm

// What the Windows serial driver reports about the line, turned into OnComm events. The flag
// values are Win32's own (ClearCommError's CE_ flags, GetCommModemStatus's MS_ flags), written
// out here so that the mapping builds and is tested on every platform.
namespace line_events {

inline constexpr std::uint32_t kRxOver = 0x0001;    // CE_RXOVER
inline constexpr std::uint32_t kOverrun = 0x0002;   // CE_OVERRUN
inline constexpr std::uint32_t kRxParity = 0x0004;  // CE_RXPARITY
inline constexpr std::uint32_t kFrame = 0x0008;     // CE_FRAME
inline constexpr std::uint32_t kBreak = 0x0010;     // CE_BREAK

inline constexpr std::uint32_t kCtsOn = 0x0010;   // MS_CTS_ON
inline constexpr std::uint32_t kDsrOn = 0x0020;   // MS_DSR_ON
inline constexpr std::uint32_t kRingOn = 0x0040;  // MS_RING_ON
inline constexpr std::uint32_t kRlsdOn = 0x0080;  // MS_RLSD_ON (carrier detect)

// The events of one look at the line, in the order they are delivered: the faults
// ClearCommError returned in `errors`, then the modem lines that changed between two looks
// (a ring counts when it starts). A device without modem lines gives no modem status.
std::vector<int> fromDriver(std::uint32_t errors, std::optional<std::uint32_t> modemBefore,
                            std::optional<std::uint32_t> modemNow);

}  // namespace line_events
}  // namespace ignivex
