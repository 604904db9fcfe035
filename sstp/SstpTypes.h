// The SSTP notifier's value types: option flags, delivery methods and results.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace vorlane {

// Option flags of a request; their bit values are those of the one-byte set the caller passes.
enum TSstpOption : uint8_t {
    soNoTranslate = 0, // bit 0 (1): "notranslate"
    soNoDescript = 1,  // bit 1 (2): "nodescript"
};

// A set of TSstpOption, held as one byte. Bits other than the two flags are kept but have no effect.
class TSstpOptions {
public:
    constexpr TSstpOptions() = default;
    constexpr TSstpOptions(std::initializer_list<TSstpOption> flags)
    {
        for (TSstpOption flag : flags)
            bits_ |= static_cast<uint8_t>(1u << flag);
    }
    static constexpr TSstpOptions FromByte(uint8_t bits)
    {
        TSstpOptions options;
        options.bits_ = bits;
        return options;
    }
    constexpr uint8_t Byte() const { return bits_; }
    constexpr bool Contains(TSstpOption flag) const { return (bits_ >> flag) & 1u; }
    friend constexpr bool operator==(TSstpOptions, TSstpOptions) = default;

private:
    uint8_t bits_ = 0;
};

// Held as one byte; a value other than the two methods delivers nothing.
enum TSstpMethod : uint8_t {
    smTcpIp = 0,      // one TCP connection per request to Host:Port
    smDirectSstp = 1, // a copy-data message to TargetHWnd, the reply coming back the same way
};

// The outcome of a delivery, from the reply's status code; one byte.
enum TSstpResult : uint8_t {
    srOk = 0,                 // 200
    srNoContent = 1,          // 204
    srBreak = 2,              // 210
    srBadRequest = 3,         // 400
    srRequestTimeout = 4,     // 408
    srConflict = 5,           // 409
    srRefuse = 6,             // 420
    srNotImplemented = 7,     // 501
    srServiceUnavailable = 8, // 503
    srNotLocalIp = 9,         // 504
    srInBlackList = 10,       // 541
    srOther = 11,             // any other code, and no usable reply (-1000)
};

// The status code that stands for a delivery that read no usable reply.
inline constexpr int32_t NoStatusCode = -1000;

} // namespace vorlane
