// Throughput of the copy worker (its thread, progress messages, flush, size check and the final swap)
// on a 1 GiB patch against a plain CopyFileW of the same file whose copy is flushed to disk too, as
// the worker's is before the swap: interleaved rounds (worker, plain, plain, worker), the median ratio,
// and the progress messages.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "install/installer_app.h"
#include "install/worker.h"
#include "support/support.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t PatchBytes = 1ull << 30;
constexpr int Rounds = 16;

struct Counts {
    int progress = 0;
    bool done = false;
};

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* counts = reinterpret_cast<Counts*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (counts && message == WM_INSTALL_PROGRESS) ++counts->progress;
    if (counts && message == WM_INSTALL_DONE) counts->done = true;
    return DefWindowProcW(window, message, wParam, lParam);
}

// Real, varied bytes: a sparse file would measure reading holes.
bool makePatch(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<uint32_t> block(1 << 18);
    uint32_t x = 2463534242u;
    bool ok = f != INVALID_HANDLE_VALUE;
    for (uint64_t written = 0; ok && written < PatchBytes; written += block.size() * 4) {
        for (uint32_t& v : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            v = x;
        }
        DWORD put = 0;
        ok = WriteFile(f, block.data(), static_cast<DWORD>(block.size() * 4), &put, nullptr) && put == block.size() * 4;
    }
    CloseHandle(f);
    return ok;
}

double workerCopy(HWND window, const std::wstring& source, const std::wstring& target, int& messages) {
    Counts counts;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&counts));
    InstallerApp app;
    app.mainWindow = window;
    const auto start = Clock::now();
    if (!startWorker(app, source, target)) return -1;
    MSG m;
    while (!counts.done && GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const bool ok = app.installJob && app.installJob->succeeded;
    stopWorker(app);
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    messages = counts.progress;
    return ok ? seconds : -1;
}

// CopyFileW, then its copy flushed to disk: the same durability as the worker's copy before its swap.
double plainCopy(const std::wstring& source, const std::wstring& target) {
    const auto start = Clock::now();
    if (!CopyFileW(source.c_str(), target.c_str(), FALSE)) return -1;
    HANDLE copy = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const BOOL flushed = FlushFileBuffers(copy);
    CloseHandle(copy);
    return flushed ? std::chrono::duration<double>(Clock::now() - start).count() : -1;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    TempDir folder;
    const std::wstring source = folder / L"patch.rpa", target = folder / L"target.rpa";
    if (!makePatch(source)) {
        std::printf("could not write the 1 GiB patch\n");
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = procedure;
    wc.lpszClassName = L"CopyBench";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    // Both copies read a source that the first pass brought into the cache. Each round times the worker,
    // the plain copy, the plain copy and the worker again: a copy that follows another in a round runs
    // slower (the file system is still freeing the one before), and this order gives both the same share
    // of first and later places.
    plainCopy(source, target);
    std::vector<double> ratios, worker, plain;
    int messages = 0;
    for (int round = 0; round < Rounds; ++round) {
        double w = 0, p = 0;
        bool failed = false;
        for (int turn = 0; turn < 4; ++turn) {
            DeleteFileW(target.c_str());
            Sleep(500);
            const double seconds =
                turn == 0 || turn == 3 ? workerCopy(window, source, target, messages) : plainCopy(source, target);
            failed = failed || seconds < 0;
            (turn == 0 || turn == 3 ? w : p) += seconds / 2;
        }
        if (failed) {
            std::printf("a copy failed in round %d (%lu)\n", round, GetLastError());
            return 1;
        }
        worker.push_back(w);
        plain.push_back(p);
        ratios.push_back(p / w);
        std::printf("round %d: worker %.2f s, CopyFileW + flush %.2f s, ratio %.3f, %d progress messages\n", round, w,
                    p, p / w, messages);
    }
    const double mib = static_cast<double>(PatchBytes) / (1 << 20);
    std::printf(
        "1 GiB patch, median of %d rounds: worker %.0f MiB/s, CopyFileW + flush %.0f MiB/s, throughput ratio "
        "%.3f (goal >= 0.97)\n",
        Rounds, mib / median(worker), mib / median(plain), median(ratios));
    std::printf("progress messages in the last worker copy: %d (at most 1001)\n", messages);
    DestroyWindow(window);
    return 0;
}
