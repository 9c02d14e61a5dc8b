#include "sdk/stats/CrashReport.h"

#include "sdk/stats/CrashReport.pb-c.h"
#include "sdk/stats/ElfSymbols.h"

#include <cxxabi.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace {

constexpr std::size_t kMaxImages = 4096;
constexpr std::size_t kMaxFrames = 1024;

std::uint32_t readLittle32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

void writeLittle32(pf::Bytes& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

bool fail(std::string* error, const char* why)
{
    if (error)
        *error = why;
    return false;
}

std::string demangled(const std::string& name)
{
    int status = 0;
    char* readable = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (status != 0 || !readable)
        return name;
    std::string result(readable);
    std::free(readable);
    return result;
}

// Names each frame from its image's file, when the file is still the one that crashed.
void symbolise(CrashReport& report)
{
    std::map<std::string, std::unique_ptr<ElfSymbols>> files;
    for (auto& frame : report.stackFrames) {
        const CrashReport::Image* image = report.imageForAddress(frame.instructionPointer);
        if (!image || frame.instructionPointer == 0)
            continue;
        auto found = files.find(image->path);
        if (found == files.end()) {
            auto symbols = ElfSymbols::open(image->path);
            if (symbols && (image->buildId.empty() || symbols->buildId() != image->buildId))
                symbols.reset(); // another build of the file: its symbols would lie
            found = files.emplace(image->path, std::move(symbols)).first;
        }
        if (!found->second)
            continue;
        // A return address points after its call; the call itself lies one byte before.
        std::uint64_t fileAddress = frame.instructionPointer - 1 - image->loadBias;
        if (auto symbol = found->second->lookup(fileAddress))
            frame.symbolInfo = CrashReport::Symbol { demangled(symbol->name), symbol->value + image->loadBias };
    }
}

}

std::string CrashReport::Image::imageName() const
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const CrashReport::Image* CrashReport::imageForAddress(std::uint64_t address) const
{
    for (const Image& image : images) {
        if (address >= image.baseAddress && address - image.baseAddress < image.size)
            return &image;
    }
    return nullptr;
}

pf::Bytes CrashReport::framed(const pf::Bytes& payload)
{
    pf::Bytes out(kMagic, kMagic + sizeof kMagic);
    writeLittle32(out, static_cast<std::uint32_t>(payload.size()));
    writeLittle32(out, static_cast<std::uint32_t>(crc32(0, payload.data(), static_cast<uInt>(payload.size()))));
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::optional<CrashReport> CrashReport::parse(const pf::Bytes& data, std::string* error)
{
    if (data.size() < kHeaderBytes || data.size() > kMaxReportBytes) {
        fail(error, "the report's size is out of bounds");
        return std::nullopt;
    }
    if (std::memcmp(data.data(), kMagic, sizeof kMagic) != 0) {
        fail(error, "not a crash report");
        return std::nullopt;
    }
    std::uint32_t length = readLittle32(data.data() + 8);
    std::uint32_t checksum = readLittle32(data.data() + 12);
    if (length != data.size() - kHeaderBytes) {
        fail(error, "the report is cut short or overlong");
        return std::nullopt;
    }
    const std::uint8_t* payload = data.data() + kHeaderBytes;
    if (crc32(0, payload, length) != checksum) {
        fail(error, "the report's checksum does not match");
        return std::nullopt;
    }
    auto* message = quorvane__stats__crash_report_data__unpack(nullptr, length, payload);
    if (!message) {
        fail(error, "the report's contents cannot be read");
        return std::nullopt;
    }
    std::unique_ptr<Quorvane__Stats__CrashReportData, void (*)(Quorvane__Stats__CrashReportData*)> owned(
        message, [](Quorvane__Stats__CrashReportData* m) { quorvane__stats__crash_report_data__free_unpacked(m, nullptr); });
    if (!message->system || message->n_images > kMaxImages
        || (message->exception && message->exception->n_frames > kMaxFrames)) {
        fail(error, "the report's contents are out of bounds");
        return std::nullopt;
    }

    CrashReport report;
    report.operatingSystem = message->system->operating_system;
    report.osVersion = message->system->os_version;
    report.architecture = message->system->machine;
    for (std::size_t i = 0; i < message->n_images; ++i) {
        const auto* image = message->images[i];
        Image kept;
        kept.path = image->path;
        kept.baseAddress = image->base_address;
        kept.size = image->size;
        kept.loadBias = image->load_bias;
        if (image->has_build_id)
            kept.buildId.assign(reinterpret_cast<const char*>(image->build_id.data), image->build_id.len);
        kept.elfMachine = image->elf_machine;
        report.images.push_back(std::move(kept));
    }
    if (const auto* exception = message->exception) {
        report.hasExceptionInfo = true;
        report.exceptionName = exception->name;
        report.exceptionReason = exception->reason;
        for (std::size_t i = 0; i < exception->n_frames; ++i)
            report.stackFrames.push_back(Frame { exception->frames[i]->instruction_pointer, std::nullopt });
    }
    if (const auto* signal = message->signal) {
        report.hasSignalInfo = true;
        report.signalName = signal->name;
        report.signalCode = signal->code;
        report.signalAddress = signal->address;
    }
    symbolise(report);
    return report;
}

pf::Bytes CrashReport::packed() const
{
    Quorvane__Stats__CrashSystem system = QUORVANE__STATS__CRASH_SYSTEM__INIT;
    system.operating_system = const_cast<char*>(operatingSystem.c_str());
    system.os_version = const_cast<char*>(osVersion.c_str());
    system.machine = const_cast<char*>(architecture.c_str());

    std::vector<Quorvane__Stats__CrashImage> imageMessages(images.size());
    std::vector<Quorvane__Stats__CrashImage*> imagePointers;
    for (std::size_t i = 0; i < images.size(); ++i) {
        auto& m = imageMessages[i];
        m = QUORVANE__STATS__CRASH_IMAGE__INIT;
        m.path = const_cast<char*>(images[i].path.c_str());
        m.base_address = images[i].baseAddress;
        m.size = images[i].size;
        m.load_bias = images[i].loadBias;
        m.has_build_id = !images[i].buildId.empty();
        m.build_id.len = images[i].buildId.size();
        m.build_id.data = reinterpret_cast<std::uint8_t*>(const_cast<char*>(images[i].buildId.data()));
        m.elf_machine = images[i].elfMachine;
        imagePointers.push_back(&m);
    }
    Quorvane__Stats__CrashReportData message = QUORVANE__STATS__CRASH_REPORT_DATA__INIT;
    message.system = &system;
    message.n_images = imagePointers.size();
    message.images = imagePointers.data();

    Quorvane__Stats__CrashException exception = QUORVANE__STATS__CRASH_EXCEPTION__INIT;
    std::vector<Quorvane__Stats__CrashFrame> frames(stackFrames.size());
    std::vector<Quorvane__Stats__CrashFrame*> framePointers;
    if (hasExceptionInfo) {
        exception.name = const_cast<char*>(exceptionName.c_str());
        exception.reason = const_cast<char*>(exceptionReason.c_str());
        for (std::size_t i = 0; i < stackFrames.size(); ++i) {
            frames[i] = QUORVANE__STATS__CRASH_FRAME__INIT;
            frames[i].instruction_pointer = stackFrames[i].instructionPointer;
            framePointers.push_back(&frames[i]);
        }
        exception.n_frames = framePointers.size();
        exception.frames = framePointers.data();
        message.exception = &exception;
    }
    Quorvane__Stats__CrashSignal signal = QUORVANE__STATS__CRASH_SIGNAL__INIT;
    if (hasSignalInfo) {
        signal.name = const_cast<char*>(signalName.c_str());
        signal.code = signalCode;
        signal.address = signalAddress;
        message.signal = &signal;
    }
    pf::Bytes out(quorvane__stats__crash_report_data__get_packed_size(&message));
    quorvane__stats__crash_report_data__pack(&message, out.data());
    return out;
}
