#include "sdk/stats/CrashReporter.h"

#include "platform/foundation/Exception.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/Sandbox.h"
#include "platform/foundation/SignalStack.h"
#include "platform/foundation/TextEncoding.h"
#include "sdk/stats/CrashReport.h"
#include "sdk/stats/CrashReport.pb-c.h"

#define UNW_LOCAL_ONLY
#include <libunwind.h>

#include <cxxabi.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>
#include <typeinfo>

namespace {

constexpr std::size_t kMaxImages = 512;
constexpr std::size_t kMaxFrames = 128;
constexpr std::size_t kMaxBuildId = 64;
constexpr std::size_t kNameBytes = 512;
constexpr std::size_t kReasonBytes = 4096;
constexpr std::size_t kPackBytes = 1u << 20;

const int kSignals[] = { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP };

// Everything a crash writes, made before it happens.
struct Prepared {
    char path[PATH_MAX];
    char temporaryPath[PATH_MAX];

    char osVersion[65];
    char machine[65];
    Quorvane__Stats__CrashSystem system;

    char imagePaths[kMaxImages][PATH_MAX];
    std::uint8_t buildIds[kMaxImages][kMaxBuildId];
    Quorvane__Stats__CrashImage images[kMaxImages];
    Quorvane__Stats__CrashImage* imagePointers[kMaxImages];
    std::size_t imageCount;

    char exceptionName[kNameBytes];
    char exceptionReason[kReasonBytes];
    Quorvane__Stats__CrashFrame frames[kMaxFrames];
    Quorvane__Stats__CrashFrame* framePointers[kMaxFrames];
    Quorvane__Stats__CrashException exception;

    char signalName[16];
    Quorvane__Stats__CrashSignal signal;

    Quorvane__Stats__CrashReportData report;
    std::uint8_t buffer[CrashReport::kHeaderBytes + kPackBytes];
};

Prepared* g_prepared = nullptr;
std::atomic<bool> g_reportWritten { false };
std::atomic<bool> g_installed { false };

void copyText(char* to, std::size_t capacity, const char* from)
{
    std::size_t length = 0;
    while (from && length < capacity && from[length])
        ++length;
    // What does not fit is cut where a character ends: the entry's text must stay UTF-8.
    std::size_t n = pf::TextEncoding::utf8Prefix(std::string_view(from, length), capacity - 1).size();
    for (std::size_t i = 0; i < n; ++i)
        to[i] = from[i];
    to[n] = '\0';
}

// --- the image list -------------------------------------------------------------------------

int addImage(struct dl_phdr_info* info, size_t, void* data)
{
    auto* p = static_cast<Prepared*>(data);
    if (p->imageCount >= kMaxImages)
        return 1;
    std::uint64_t low = UINT64_MAX, high = 0;
    const std::uint8_t* header = nullptr;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD)
            continue;
        low = std::min<std::uint64_t>(low, ph.p_vaddr);
        high = std::max<std::uint64_t>(high, ph.p_vaddr + ph.p_memsz);
        if (ph.p_offset == 0)
            header = reinterpret_cast<const std::uint8_t*>(info->dlpi_addr + ph.p_vaddr);
    }
    if (low == UINT64_MAX)
        return 0;
    std::size_t index = p->imageCount++;
    auto& image = p->images[index];
    image = QUORVANE__STATS__CRASH_IMAGE__INIT;
    char* path = p->imagePaths[index];
    if (info->dlpi_name && info->dlpi_name[0]) {
        copyText(path, PATH_MAX, info->dlpi_name);
    } else {
        ssize_t n = ::readlink("/proc/self/exe", path, PATH_MAX - 1);
        path[n > 0 ? n : 0] = '\0';
    }
    image.path = path;
    image.base_address = info->dlpi_addr + low;
    image.size = high - low;
    image.load_bias = info->dlpi_addr;
    if (header && std::memcmp(header, ELFMAG, SELFMAG) == 0)
        image.elf_machine = reinterpret_cast<const ElfW(Ehdr)*>(header)->e_machine;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_NOTE)
            continue;
        const auto* at = reinterpret_cast<const std::uint8_t*>(info->dlpi_addr + ph.p_vaddr);
        const auto* end = at + ph.p_memsz;
        while (at + sizeof(ElfW(Nhdr)) <= end) {
            const auto* note = reinterpret_cast<const ElfW(Nhdr)*>(at);
            const std::uint8_t* name = at + sizeof *note;
            const std::uint8_t* desc = name + ((note->n_namesz + 3) & ~3u);
            const std::uint8_t* next = desc + ((note->n_descsz + 3) & ~3u);
            if (next > end)
                break;
            if (note->n_type == NT_GNU_BUILD_ID && note->n_namesz == 4 && std::memcmp(name, "GNU", 4) == 0
                && note->n_descsz <= kMaxBuildId) {
                std::memcpy(p->buildIds[index], desc, note->n_descsz);
                image.has_build_id = true;
                image.build_id.len = note->n_descsz;
                image.build_id.data = p->buildIds[index];
                break;
            }
            at = next;
        }
    }
    p->imagePointers[index] = &image;
    return 0;
}

// --- writing --------------------------------------------------------------------------------

void putLittle32(std::uint8_t* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Packs the prepared report and writes it with open, write and rename only.
void writeReport(Prepared& p)
{
    p.report.n_images = p.imageCount;
    std::size_t size = quorvane__stats__crash_report_data__get_packed_size(&p.report);
    while (size > kPackBytes && p.report.n_images > 0) {
        p.report.n_images /= 2;
        size = quorvane__stats__crash_report_data__get_packed_size(&p.report);
    }
    if (size > kPackBytes)
        return;
    std::uint8_t* payload = p.buffer + CrashReport::kHeaderBytes;
    quorvane__stats__crash_report_data__pack(&p.report, payload);
    std::memcpy(p.buffer, CrashReport::kMagic, sizeof CrashReport::kMagic);
    putLittle32(p.buffer + 8, static_cast<std::uint32_t>(size));
    putLittle32(p.buffer + 12, static_cast<std::uint32_t>(crc32(0, payload, static_cast<uInt>(size))));

    int fd = ::open(p.temporaryPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    std::size_t total = CrashReport::kHeaderBytes + size, done = 0;
    while (done < total) {
        ssize_t n = ::write(fd, p.buffer + done, total - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done == total)
        ::rename(p.temporaryPath, p.path);
    else
        ::unlink(p.temporaryPath);
}

// --- signals --------------------------------------------------------------------------------

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    case SIGTRAP: return "SIGTRAP";
    default: return "SIGNAL";
    }
}

// What each signal had before capture took it: the sanitizers' reports, a host's own handler.
struct sigaction g_previous[NSIG];
bool g_hasPrevious[NSIG];

void onSignal(int signal, siginfo_t* info, void* context);

bool isCapture(const struct sigaction& action)
{
    return (action.sa_flags & SA_SIGINFO) && action.sa_sigaction == onSignal;
}

// Hands the signal to the handler that was there before capture, which from now on also takes
// it when it comes again. Without one (the default, or ignored: a fault cannot be ignored, it
// would come back from the same instruction for ever) the process dies of the signal.
void passOn(int signal, siginfo_t* info, void* context)
{
    struct sigaction previous {}; // none: the default
    if (g_hasPrevious[signal])
        previous = g_previous[signal];
    const bool withInfo = previous.sa_flags & SA_SIGINFO;
    if (!withInfo && (previous.sa_handler == SIG_DFL || previous.sa_handler == SIG_IGN)) {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        ::sigaction(signal, &fallback, nullptr);
        // Delivered once this handler returns (the signal is blocked while it runs); a fault
        // would also come again from the faulting instruction.
        ::raise(signal);
        return;
    }
    struct sigaction next = previous;
    if (previous.sa_flags & SA_RESETHAND) {
        next = {};
        next.sa_handler = SIG_DFL;
        sigemptyset(&next.sa_mask);
    }
    ::sigaction(signal, &next, nullptr);
    sigset_t blocked;
    ::pthread_sigmask(SIG_BLOCK, &previous.sa_mask, &blocked);
    if (withInfo)
        previous.sa_sigaction(signal, info, context);
    else
        previous.sa_handler(signal);
    ::pthread_sigmask(SIG_SETMASK, &blocked, nullptr);
}

void onSignal(int signal, siginfo_t* info, void* context)
{
    int savedErrno = errno;
    if (g_prepared && !g_reportWritten.exchange(true)) {
        Prepared& p = *g_prepared;
        copyText(p.signalName, sizeof p.signalName, signalName(signal));
        p.signal.code = info ? info->si_code : 0;
        p.signal.address = info ? reinterpret_cast<std::uintptr_t>(info->si_addr) : 0;
        p.report.signal = &p.signal;
        p.report.exception = nullptr;
        writeReport(p);
    }
    errno = savedErrno;
    passOn(signal, info, context);
    errno = savedErrno;
}

// --- uncaught exceptions --------------------------------------------------------------------

__attribute__((noinline)) std::size_t walkStack(Quorvane__Stats__CrashFrame* frames, std::size_t capacity)
{
    unw_context_t context;
    unw_cursor_t cursor;
    // The walk starts in its caller: this function's own frame tells nothing.
    if (unw_getcontext(&context) != 0 || unw_init_local(&cursor, &context) != 0 || unw_step(&cursor) <= 0)
        return 0;
    std::size_t count = 0;
    do {
        unw_word_t ip = 0;
        if (unw_get_reg(&cursor, UNW_REG_IP, &ip) != 0 || ip == 0)
            break;
        frames[count++].instruction_pointer = ip;
    } while (count < capacity && unw_step(&cursor) > 0);
    return count;
}

void copyDemangled(char* to, std::size_t capacity, const char* mangled)
{
    int status = 0;
    char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    copyText(to, capacity, status == 0 && readable ? readable : mangled);
    std::free(readable);
}

[[noreturn]] void onTerminate()
{
    static std::atomic<bool> entered { false };
    if (!entered.exchange(true) && g_prepared) {
        Prepared& p = *g_prepared;
        bool haveException = false;
        std::size_t frameCount = 0;
        if (std::exception_ptr current = std::current_exception()) {
            haveException = true;
            try {
                std::rethrow_exception(current);
            } catch (const pf::Exception& e) {
                copyText(p.exceptionName, kNameBytes, e.name().c_str());
                copyText(p.exceptionReason, kReasonBytes, e.reason().c_str());
                for (std::uintptr_t address : e.callStackReturnAddresses()) {
                    if (frameCount == kMaxFrames)
                        break;
                    p.frames[frameCount++].instruction_pointer = address;
                }
            } catch (const std::exception& e) {
                copyDemangled(p.exceptionName, kNameBytes, typeid(e).name());
                copyText(p.exceptionReason, kReasonBytes, e.what());
                frameCount = walkStack(p.frames, kMaxFrames);
            } catch (...) {
                const std::type_info* type = abi::__cxa_current_exception_type();
                copyDemangled(p.exceptionName, kNameBytes, type ? type->name() : "unknown");
                p.exceptionReason[0] = '\0';
                frameCount = walkStack(p.frames, kMaxFrames);
            }
        }
        // Without an exception the abort below is reported as a signal.
        if (haveException && !g_reportWritten.exchange(true)) {
            p.exception.n_frames = frameCount;
            p.report.exception = &p.exception;
            p.report.signal = nullptr;
            writeReport(p);
        }
    }
    std::abort();
}

bool prepare(std::string* error)
{
    if (!g_prepared) {
        g_prepared = static_cast<Prepared*>(std::calloc(1, sizeof(Prepared)));
        if (!g_prepared) {
            if (error)
                *error = "no memory for the crash report";
            return false;
        }
    }
    Prepared& p = *g_prepared;
    std::string path = CrashReporter::reportPath();
    std::string temporary = path + ".writing";
    if (temporary.size() >= PATH_MAX) {
        if (error)
            *error = "the report's path is too long";
        return false;
    }
    pf::FileManager::createDirectory(path.substr(0, path.rfind('/')), true);
    copyText(p.path, PATH_MAX, path.c_str());
    copyText(p.temporaryPath, PATH_MAX, temporary.c_str());

    struct utsname names {};
    ::uname(&names);
    copyText(p.osVersion, sizeof p.osVersion, names.release);
    copyText(p.machine, sizeof p.machine, names.machine);
    p.system = QUORVANE__STATS__CRASH_SYSTEM__INIT;
    p.system.operating_system = const_cast<char*>("Linux");
    p.system.os_version = p.osVersion;
    p.system.machine = p.machine;

    p.imageCount = 0;
    ::dl_iterate_phdr(addImage, &p);

    p.exception = QUORVANE__STATS__CRASH_EXCEPTION__INIT;
    p.exception.name = p.exceptionName;
    p.exception.reason = p.exceptionReason;
    for (std::size_t i = 0; i < kMaxFrames; ++i) {
        p.frames[i] = QUORVANE__STATS__CRASH_FRAME__INIT;
        p.framePointers[i] = &p.frames[i];
    }
    p.exception.frames = p.framePointers;
    p.signal = QUORVANE__STATS__CRASH_SIGNAL__INIT;
    p.signal.name = p.signalName;

    p.report = QUORVANE__STATS__CRASH_REPORT_DATA__INIT;
    p.report.system = &p.system;
    p.report.images = p.imagePointers;
    p.report.n_images = p.imageCount;
    return true;
}

}

CrashReporter& CrashReporter::sharedReporter()
{
    static CrashReporter reporter;
    return reporter;
}

std::string CrashReporter::reportPath()
{
    return pf::FileManager::join(pf::Sandbox::current()->cachesPath(), kReportFileName);
}

bool CrashReporter::hasPendingCrashReport() const
{
    return pf::FileManager::isOccupied(reportPath());
}

pf::FileManager::FileRead CrashReporter::readPendingCrashReport() const
{
    return pf::FileManager::readFile(reportPath(), CrashReport::kMaxReportBytes);
}

std::optional<pf::Bytes> CrashReporter::loadPendingCrashReportData(std::string* error) const
{
    auto file = readPendingCrashReport();
    if (!file.read()) {
        if (error)
            *error = file.outcome == pf::FileManager::FileRead::Outcome::Missing ? "no pending crash report" : file.reason;
        return std::nullopt;
    }
    return std::move(file.bytes);
}

bool CrashReporter::purgePendingCrashReport()
{
    // The report file alone: whatever else lies at its name is not the report's to take.
    auto removal = pf::FileManager::removeFile(reportPath());
    return removal == pf::FileManager::Removal::Removed || removal == pf::FileManager::Removal::Missing;
}

bool CrashReporter::setAsidePendingCrashReport(std::string* error)
{
    return pf::FileManager::setAside(reportPath(), error);
}

bool CrashReporter::enableCrashReporter(std::string* error)
{
    if (!prepare(error))
        return false;

    // The enabling thread's own; the platform's threads (the statistics and other serial
    // queues, the HTTP worker) each set theirs when they start.
    static pf::SignalStack enablingThreadStack;
    if (!enablingThreadStack.active()) {
        if (error)
            *error = "the alternate signal stack cannot be set";
        return false;
    }
    struct sigaction action {};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) {
        struct sigaction previous {};
        if (::sigaction(signal, &action, &previous) != 0) {
            if (error)
                *error = std::string("cannot handle ") + signalName(signal);
            return false;
        }
        // Enabled again: what capture replaced the first time stays the one to pass on to.
        if (!isCapture(previous)) {
            g_previous[signal] = previous;
            g_hasPrevious[signal] = true;
        }
    }
    if (!g_installed.exchange(true))
        std::set_terminate(onTerminate);
    m_enabled = true;
    return true;
}
