// Start-up time and memory of KavloIPFinder.exe beside a minimal one-window program, started in
// turn (A, B, C, A, B, C, ...). The yardstick is the minimal window with the program's
// common-controls manifest and InitCommonControlsEx; the plain one, without, shows what visual
// styles cost under Wine. Start-up is the time from process creation until the window is visible
// with focus in its first edit box; memory is read right after that.
//   startup_bench [ROUNDS]      (run under Wine by scripts/bench.sh)
#include "window_driver.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Sample {
    double milliseconds;
    SIZE_T peakWorkingSet;
    SIZE_T privateBytes;
};

struct Subject {
    std::wstring exe;
    const char* name;
};

bool startOnce(const Subject& subject, Sample& sample) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + subject.exe + L"\"";
    LARGE_INTEGER frequency, started, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    if (!CreateProcessW(subject.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    bool ready = false;
    HWND window = nullptr;
    for (int spin = 0; spin < 200000 && !ready; ++spin) {
        // Any visible window of the main thread: asking for its caption would slow the start measured.
        window = driver::findTopLevel(process.dwProcessId, process.dwThreadId, {});
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        ready = window && GetGUIThreadInfo(process.dwThreadId, &info) && info.hwndFocus &&
                _wcsicmp(driver::className(info.hwndFocus).c_str(), L"Edit") == 0;
        if (!ready) Sleep(0);
    }
    QueryPerformanceCounter(&now);
    sample.milliseconds = 1000.0 * static_cast<double>(now.QuadPart - started.QuadPart) / static_cast<double>(frequency.QuadPart);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(process.hProcess, &memory, sizeof(memory));
    sample.peakWorkingSet = memory.PeakWorkingSetSize;
    sample.privateBytes = memory.PagefileUsage;  // the commit charge: private bytes

    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ready;
}

template <typename Field>
double median(std::vector<Sample> samples, Field field) {
    std::vector<double> values;
    for (const Sample& s : samples) values.push_back(static_cast<double>(s.*field));
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    const Subject programs[] = {{driver::programPath(), "KavloIPFinder.exe"},
                                {driver::besideThis(L"minimal_window_themed.exe"), "minimal, themed"},
                                {driver::besideThis(L"minimal_window.exe"), "minimal, plain"}};
    constexpr int kCount = 3;
    std::vector<Sample> samples[kCount];
    Sample warmUp{};
    for (const Subject& program : programs) startOnce(program, warmUp);  // the first start of a prefix pays for Wine
    for (int round = 0; round < rounds; ++round) {
        for (int which = 0; which < kCount; ++which) {
            Sample sample{};
            if (!startOnce(programs[which], sample)) {
                std::fprintf(stderr, "start %d of program %d did not get ready\n", round, which);
                return 1;
            }
            samples[which].push_back(sample);
        }
    }
    std::printf("%d starts each, in turn; medians:\n", rounds);
    std::printf("%-18s %12s %16s %16s\n", "", "start-up ms", "peak WS KiB", "private KiB");
    for (int which = 0; which < kCount; ++which) {
        std::printf("%-18s %12.1f %16.0f %16.0f\n", programs[which].name, median(samples[which], &Sample::milliseconds),
                    median(samples[which], &Sample::peakWorkingSet) / 1024, median(samples[which], &Sample::privateBytes) / 1024);
    }
    const auto ratio = [&](int yardstick, auto field) { return median(samples[0], field) / median(samples[yardstick], field); };
    const double start = ratio(1, &Sample::milliseconds);
    const double workingSet = ratio(1, &Sample::peakWorkingSet);
    const double privateBytes = ratio(1, &Sample::privateBytes);
    std::printf("ratio to the themed minimal window: start-up %.2fx (target 1.1x: %s), peak working set %.2fx, private "
                "bytes %.2fx (target 1.2x: %s)\n",
                start, start <= 1.1 ? "met" : "MISSED", workingSet, privateBytes,
                workingSet <= 1.2 && privateBytes <= 1.2 ? "met" : "MISSED");
    std::printf("ratio to the plain minimal window, for context (what visual styles cost under Wine): start-up %.2fx, "
                "peak working set %.2fx, private bytes %.2fx\n",
                ratio(2, &Sample::milliseconds), ratio(2, &Sample::peakWorkingSet), ratio(2, &Sample::privateBytes));
    return 0;
}
