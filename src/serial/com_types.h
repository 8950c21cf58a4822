#pragma once
#include <cstdint>
#include <initializer_list>

// The enumerations of the port component. Each counts from 0 in the order
// listed; the sets below use bit n for member n.

enum TBaudRate : std::uint8_t {
    brCustom, br110, br300, br600, br1200, br2400, br4800, br9600, br14400,
    br19200, br38400, br56000, br57600, br115200, br128000, br256000
};
enum TStopBits : std::uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits : std::uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits : std::uint8_t { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl : std::uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : std::uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl : std::uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent : std::uint8_t {
    evRxChar, evTxEmpty, evRxFlag, evRing, evBreak, evCTS, evDSR, evError, evRLSD, evRx80Full
};
enum TComSignal : std::uint8_t { csCTS, csDSR, csRing, csRLSD };
enum TComError : std::uint8_t {
    ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull
};
enum TSyncMethod : std::uint8_t { smThreadSync, smWindowSync, smNone };
enum TStoreType : std::uint8_t { stRegistry, stIniFile };
enum TStoredProp : std::uint8_t {
    spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers
};
enum TOperationKind : std::uint8_t { okWrite, okRead };
// Scheduling priority of the event thread.
enum TThreadPriority : std::uint8_t {
    tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical
};

// A small set over an enumeration of Count members: bit n stands for member n.
template <typename E, int Count>
class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> members)
    {
        for (E m : members)
            bits_ |= Bit(m);
    }
    static constexpr TEnumSet FromBits(std::uint32_t bits)
    {
        TEnumSet s;
        s.bits_ = bits & AllBits();
        return s;
    }
    static constexpr TEnumSet All() { return FromBits(AllBits()); }

    constexpr std::uint32_t Bits() const { return bits_; }
    constexpr bool Contains(E m) const { return (bits_ & Bit(m)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr TEnumSet& Include(E m) { bits_ |= Bit(m); return *this; }
    constexpr TEnumSet& Exclude(E m) { bits_ &= ~Bit(m); return *this; }

    friend constexpr TEnumSet operator|(TEnumSet a, TEnumSet b) { return FromBits(a.bits_ | b.bits_); }
    friend constexpr TEnumSet operator&(TEnumSet a, TEnumSet b) { return FromBits(a.bits_ & b.bits_); }
    friend constexpr bool operator==(TEnumSet a, TEnumSet b) { return a.bits_ == b.bits_; }

private:
    static constexpr std::uint32_t Bit(E m) { return std::uint32_t{1} << static_cast<unsigned>(m); }
    static constexpr std::uint32_t AllBits() { return (std::uint32_t{1} << Count) - 1; }
    std::uint32_t bits_ = 0;
};

using TComEvents = TEnumSet<TComEvent, 10>;
using TComSignals = TEnumSet<TComSignal, 4>;
using TComErrors = TEnumSet<TComError, 8>;
using TStoredProps = TEnumSet<TStoredProp, 6>;
