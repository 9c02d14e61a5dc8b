#pragma once

#include "platform/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A crash report left by an earlier run, read back and symbolised.
//
// The file is framed: 8 bytes of magic, the payload's length and its CRC-32 (both 32-bit
// little-endian), then the payload, a packed CrashReportData message. Reading trusts nothing:
// the frame, the message and every count are checked, and any inconsistency fails the whole
// report.
//
// Frames are named from the symbols of the image files recorded in the report, and only when a
// file still has the build id recorded for it (a rebuilt file would name the wrong functions).
// C++ names are demangled.
struct CrashReport {
    static constexpr char kMagic[8] = { 'Q', 'V', 'C', 'R', 'A', 'S', 'H', '1' };
    static constexpr std::size_t kHeaderBytes = 16;
    static constexpr std::size_t kMaxReportBytes = 8u << 20;

    struct Image {
        std::string path;
        std::uint64_t baseAddress { 0 };
        std::uint64_t size { 0 };
        std::uint64_t loadBias { 0 };
        std::string buildId; // raw bytes
        std::uint32_t elfMachine { 0 };
        // The last path component.
        std::string imageName() const;
    };
    struct Symbol {
        std::string name;
        std::uint64_t startAddress { 0 };
    };
    struct Frame {
        std::uint64_t instructionPointer { 0 };
        std::optional<Symbol> symbolInfo;
    };

    std::string operatingSystem;
    std::string osVersion;
    std::string architecture; // the hardware name, e.g. "x86_64"
    std::vector<Image> images;

    bool hasExceptionInfo { false };
    std::string exceptionName;
    std::string exceptionReason;
    std::vector<Frame> stackFrames;

    bool hasSignalInfo { false };
    std::string signalName;
    int signalCode { 0 };
    std::uint64_t signalAddress { 0 };

    // The image whose mapped range holds `address`, or null.
    const Image* imageForAddress(std::uint64_t address) const;

    // Reads a framed report; nullopt (and why) when it is damaged in any way.
    static std::optional<CrashReport> parse(const pf::Bytes& data, std::string* error = nullptr);
    // The frame around a packed payload.
    static pf::Bytes framed(const pf::Bytes& payload);
    // A packed payload of this report (no symbols are written); for tests and tools.
    pf::Bytes packed() const;
};
