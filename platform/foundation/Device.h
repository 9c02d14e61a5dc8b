#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace pf {

// What the app may learn about the device it runs on. Every value has a default that matches
// a phone of the supported system and can be set by tests and the simulator.
//
// Defaults: system version "7.0", phone idiom, model "Phone", machine "i386", screen 320 x 480
// points at scale 2, multitasking on, hardware address "02:00:00:00:00:00" (the platform hides
// the real one from apps), no carrier.
//
// The device identifier is one value for every part of the app: it is kept in the app's user
// defaults and on a persistent named pasteboard, read back from whichever still has it, and
// made (40 hex digits) only when neither does. A value on the pasteboard that is not UTF-8
// text (or holds a NUL) is damaged and counts as absent.
class Device {
public:
    enum class Idiom { Phone, Tablet };
    static constexpr const char* kIdentifierDefaultsKey = "DeviceIdentifier";
    static constexpr const char* kIdentifierPasteboard = "pf.device.identifier";
    static constexpr const char* kIdentifierType = "pf.device.identifier";

    static Device& current();
    void resetToDefaults();

    std::string systemVersion() const;
    void setSystemVersion(std::string version);
    // The version text read as a number ("7.0.4" reads 7.0).
    double systemVersionFloat() const;
    // The version text's leading whole number ("7.0.4" reads 7), held within an int's range: the
    // one reading to take where a whole number is wanted, since the number above may exceed it.
    int systemMajorVersion() const;

    Idiom idiom() const;
    void setIdiom(Idiom idiom);
    bool isTablet() const { return idiom() == Idiom::Tablet; }
    // "Phone" or "Tablet" by idiom unless set.
    std::string model() const;
    void setModel(std::optional<std::string> model);
    // The hardware model ("hw.machine").
    std::string machine() const;
    void setMachine(std::string machine);

    double screenWidth() const;
    double screenHeight() const;
    double screenScale() const;
    void setScreenSize(double width, double height);
    void setScreenScale(double scale);

    bool isMultitaskingSupported() const;
    void setMultitaskingSupported(bool supported);

    std::string hardwareAddress() const;
    void setHardwareAddress(std::string address);
    std::optional<std::string> carrierCountryCode() const;
    std::optional<std::string> carrierNetworkCode() const;
    void setCarrier(std::optional<std::string> countryCode, std::optional<std::string> networkCode);

    // The stable device identifier (see class comment).
    std::string identifier();
    // An upper-case UUID, the same for every launch of the app (kept in its user defaults).
    std::string vendorIdentifier();
    // An upper-case UUID, the same for every app on the device (kept on a pasteboard).
    std::string advertisingIdentifier();

    static std::string makeUuid();

private:
    Device();

    mutable std::mutex m_mutex;
    std::string m_systemVersion;
    Idiom m_idiom {};
    std::optional<std::string> m_model;
    std::string m_machine;
    double m_width {}, m_height {}, m_scale {};
    bool m_multitasking {};
    std::string m_hardwareAddress;
    std::optional<std::string> m_mcc, m_mnc;
};

}
