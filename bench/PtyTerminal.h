// The terminal side of the start-up benchmarks: a program started in a pseudo-terminal whose
// output libvterm renders into a screen the benchmark reads, and whose terminal queries
// libvterm answers. Shared by shell_start_bench, start_compare_bench, view_compare_bench and
// edit_compare_bench.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace ptybench {

// steady_clock reads CLOCK_MONOTONIC on Linux.
inline int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double Ms(int64_t ns) {
    return static_cast<double>(ns) / 1e6;
}

template <typename T>
T Median(std::vector<T> values) {
    if (values.empty()) return T{};
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// A fresh, empty settings folder for one start of kq, removed afterwards.
class TempConfig {
  public:
    TempConfig() {
        char name[] = "/tmp/kq-bench-config-XXXXXX";
        if (mkdtemp(name) != nullptr) path_ = name;
    }
    ~TempConfig() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempConfig(const TempConfig&) = delete;
    TempConfig& operator=(const TempConfig&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// One program in a pseudo-terminal whose output is rendered by libvterm. vterm's own output
// (its answers to cursor-position and device-attribute queries) goes back to the program.
// ASCII text as the code points the screen model holds.
inline std::u32string ToU32(const std::string& ascii) {
    return std::u32string(ascii.begin(), ascii.end());
}

inline size_t Count(const std::u32string& text, char32_t code) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), code));
}

// The fields of /proc/PID/stat after the program's name (from the state on); empty when the
// process is gone.
inline std::string ProcStatFields(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return {};
    char line[1024];
    const bool read = std::fgets(line, sizeof line, file) != nullptr;
    std::fclose(file);
    const char* fields = read ? std::strrchr(line, ')') : nullptr;
    return fields != nullptr ? std::string(fields + 1) : std::string();
}

class PtyTerminal {
  public:
    PtyTerminal(int cols, int rows) : cols_(cols), rows_(rows) {
        vt_ = vterm_new(rows, cols);
        vterm_set_utf8(vt_, 1);
        vterm_output_set_callback(vt_, &PtyTerminal::OnVtermOutput, this);
        screen_ = vterm_obtain_screen(vt_);
        vterm_screen_enable_altscreen(screen_, 1);
        vterm_screen_reset(screen_, 1);
    }
    ~PtyTerminal() {
        Stop();
        vterm_free(vt_);
    }
    PtyTerminal(const PtyTerminal&) = delete;
    PtyTerminal& operator=(const PtyTerminal&) = delete;

    // Forks and executes argv with the extra environment; startNs is taken just before fork.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& stdoutFile = std::string()) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(cols_);
        size.ws_row = static_cast<unsigned short>(rows_);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        startNs_ = NowNs();
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ < 0) {
            std::perror("forkpty");
            return false;
        }
        if (pid_ == 0) {
            for (const std::string& entry : env) putenv(const_cast<char*>(entry.c_str()));
            if (!stdoutFile.empty()) {
                const int fd = open(stdoutFile.c_str(), O_WRONLY);
                if (fd >= 0) dup2(fd, STDOUT_FILENO);
            }
            execvp(args[0], args.data());
            std::fprintf(stderr, "exec %s: %s\n", args[0], std::strerror(errno));
            _exit(127);
        }
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        return true;
    }

    // Reads what is there, waiting up to timeoutMs for the first byte. Returns the bytes read,
    // 0 when nothing came, -1 when the program closed the terminal.
    long ReadOnce(int timeoutMs) {
        if (master_ < 0) return -1;
        pollfd descriptor{master_, POLLIN, 0};
        const int ready = poll(&descriptor, 1, timeoutMs);
        if (ready <= 0) return 0;
        long total = 0;
        char buffer[65536];
        for (;;) {
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got > 0) {
                total += got;
                if (bytes_ == 0) firstByteNs_ = NowNs();
                bytes_ += static_cast<size_t>(got);
                lastByteNs_ = NowNs();
                if (render_) vterm_input_write(vt_, buffer, static_cast<size_t>(got));
                continue;
            }
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && errno == EAGAIN) break;
            return total > 0 ? total : -1;  // EIO: the slave side is closed
        }
        return total;
    }

    // Reads until the program is silent for quietMs (or until the deadline).
    void WaitQuiet(int quietMs, int64_t timeoutMs) {
        const int64_t deadline = NowNs() + timeoutMs * 1000000;
        while (NowNs() < deadline) {
            const long got = ReadOnce(quietMs);
            if (got <= 0) return;
        }
    }

    // Reads until the screen satisfies done() (checked after each burst of output).
    template <typename Done>
    bool WaitFor(Done done, int64_t timeoutMs) {
        const int64_t deadline = NowNs() + timeoutMs * 1000000;
        while (NowNs() < deadline) {
            const long got = ReadOnce(50);
            if (got < 0) return false;
            if (got > 0 && done()) return true;
        }
        return false;
    }

    bool Send(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t written = write(master_, bytes.data() + done, bytes.size() - done);
            if (written < 0) {
                if (errno == EINTR) continue;
                if (errno == EAGAIN) {
                    ReadOnce(10);  // let the program go on writing while we wait
                    continue;
                }
                return false;
            }
            done += static_cast<size_t>(written);
        }
        return true;
    }

    // Sends one key as the terminal would, in the program's current cursor-key and keypad
    // modes (libvterm encodes it, modifiers included). Not counted as a terminal answer.
    void SendKey(VTermKey key, VTermModifier modifiers = VTERM_MOD_NONE) {
        sendingKey_ = true;
        vterm_keyboard_key(vt_, key, modifiers);
        sendingKey_ = false;
    }
    // F1 to F12.
    void SendFunctionKey(int number) { SendKey(static_cast<VTermKey>(VTERM_KEY_FUNCTION(number))); }

    // Sends SIGTERM, drains the output until the program closes the terminal, reaps it.
    // Returns the wait status, or -1 when there was nothing to stop.
    int Stop() {
        if (pid_ <= 0) return -1;
        kill(pid_, SIGTERM);
        return Reap(5000);
    }

    // Drains until the program exits; SIGKILL after timeoutMs.
    int Reap(int64_t timeoutMs) {
        if (pid_ <= 0) return -1;
        const int64_t deadline = NowNs() + timeoutMs * 1000000;
        int status = 0;
        for (;;) {
            const long got = ReadOnce(20);
            const pid_t done = wait4(pid_, &status, WNOHANG, &usage_);
            if (done == pid_) break;
            if (got < 0) usleep(500);  // the terminal is closed: only the exit is left
            if (NowNs() > deadline) {
                kill(pid_, SIGKILL);
                wait4(pid_, &status, 0, &usage_);
                break;
            }
        }
        exitNs_ = NowNs();
        pid_ = -1;
        if (master_ >= 0) close(master_);
        master_ = -1;
        return status;
    }

    // CPU time (user + system) the running program has used so far.
    double CpuMs() const {
        if (pid_ <= 0) return -1;
        const std::string fields = ProcStatFields(pid_);
        if (fields.empty()) return -1;
        // After the name: state is field 3, utime field 14, stime field 15.
        unsigned long user = 0;
        unsigned long system = 0;
        if (std::sscanf(fields.c_str(), " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                        &user, &system) != 2) {
            return -1;
        }
        return static_cast<double>(user + system) * 1000.0 /
               static_cast<double>(sysconf(_SC_CLK_TCK));
    }

    // CPU time (user + system) of the program once it has been reaped.
    double ReapedCpuMs() const {
        return static_cast<double>(usage_.ru_utime.tv_sec + usage_.ru_stime.tv_sec) * 1000.0 +
               static_cast<double>(usage_.ru_utime.tv_usec + usage_.ru_stime.tv_usec) / 1000.0;
    }

    // Resident memory of the program in KiB (VmRSS or another field of /proc/PID/status).
    long StatusKiB(const char* field) const { return ProcKiB("status", field); }

    // A "Field: N kB" line of a file under /proc/PID (status, smaps_rollup); -1 when missing.
    long ProcKiB(const char* name, const char* field) const {
        if (pid_ <= 0) return -1;
        const std::string path = "/proc/" + std::to_string(pid_) + "/" + name;
        FILE* file = std::fopen(path.c_str(), "r");
        if (file == nullptr) return -1;
        char line[256];
        long value = -1;
        const size_t length = std::strlen(field);
        while (std::fgets(line, sizeof line, file) != nullptr) {
            if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
                value = std::strtol(line + length + 1, nullptr, 10);
                break;
            }
        }
        std::fclose(file);
        return value;
    }

    std::u32string Row(int row) const {
        std::u32string text;
        for (int col = 0; col < cols_; ++col) {
            VTermScreenCell cell{};
            vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
            text += cell.chars[0] == 0 ? U' ' : static_cast<char32_t>(cell.chars[0]);
            if (cell.width == 2) ++col;
        }
        return text;
    }

    // A fingerprint of every cell's colours and attributes and of the cursor, to compare two
    // builds' screens beyond their text (RowUtf8 gives that).
    uint64_t Fingerprint() const {
        uint64_t hash = 1469598103934665603ull;
        const auto mix = [&hash](uint64_t value) {
            hash ^= value;
            hash *= 1099511628211ull;
        };
        for (int row = 0; row < rows_; ++row) {
            for (int col = 0; col < cols_; ++col) {
                VTermScreenCell cell{};
                vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
                vterm_screen_convert_color_to_rgb(screen_, &cell.fg);
                vterm_screen_convert_color_to_rgb(screen_, &cell.bg);
                mix((uint64_t{cell.fg.rgb.red} << 16) | (cell.fg.rgb.green << 8) |
                    cell.fg.rgb.blue);
                mix((uint64_t{cell.bg.rgb.red} << 16) | (cell.bg.rgb.green << 8) |
                    cell.bg.rgb.blue);
                mix((cell.attrs.bold ? 1u : 0u) | (cell.attrs.reverse ? 2u : 0u) |
                    (cell.attrs.underline ? 4u : 0u) | (cell.attrs.blink ? 8u : 0u));
            }
        }
        VTermPos cursor{};
        vterm_state_get_cursorpos(vterm_obtain_state(vt_), &cursor);
        mix(static_cast<uint64_t>(cursor.row) * 1000 + static_cast<uint64_t>(cursor.col));
        return hash;
    }

    // The background colour of one cell as 0xRRGGBB: what tells a highlighted row apart.
    uint32_t BackgroundRgb(int row, int col) const {
        VTermScreenCell cell{};
        vterm_screen_get_cell(screen_, VTermPos{row, col}, &cell);
        if (cell.attrs.reverse) cell.bg = cell.fg;
        vterm_screen_convert_color_to_rgb(screen_, &cell.bg);
        return (uint32_t{cell.bg.rgb.red} << 16) | (uint32_t{cell.bg.rgb.green} << 8) |
               cell.bg.rgb.blue;
    }

    std::string RowUtf8(int row) const {
        std::string out;
        for (char32_t code : Row(row)) AppendUtf8(out, static_cast<uint32_t>(code));
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out;
    }

    void SetRender(bool render) { render_ = render; }
    int Cols() const { return cols_; }
    int RowCount() const { return rows_; }
    size_t Bytes() const { return bytes_; }
    void ResetBytes() { bytes_ = 0; }
    // How many answers libvterm has sent to the program (each one a terminal round trip).
    int Answers() const { return answers_; }
    int64_t StartNs() const { return startNs_; }
    int64_t LastByteNs() const { return lastByteNs_; }
    // The first byte after the last ResetBytes.
    int64_t FirstByteNs() const { return firstByteNs_; }
    int64_t ExitNs() const { return exitNs_; }
    pid_t Pid() const { return pid_; }

  private:
    static void OnVtermOutput(const char* s, size_t len, void* user) {
        auto* self = static_cast<PtyTerminal*>(user);
        if (self->master_ < 0) return;
        if (!self->sendingKey_) ++self->answers_;
        size_t done = 0;
        while (done < len) {
            const ssize_t written = write(self->master_, s + done, len - done);
            if (written < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (written <= 0) return;
            done += static_cast<size_t>(written);
        }
    }

    int cols_;
    int rows_;
    VTerm* vt_ = nullptr;
    VTermScreen* screen_ = nullptr;
    int master_ = -1;
    pid_t pid_ = -1;
    bool render_ = true;
    bool sendingKey_ = false;
    size_t bytes_ = 0;
    int answers_ = 0;
    int64_t startNs_ = 0;
    int64_t lastByteNs_ = 0;
    int64_t firstByteNs_ = 0;
    int64_t exitNs_ = 0;
    rusage usage_{};
};

}  // namespace ptybench
