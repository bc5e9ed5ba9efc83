// Time per host message through hostWindowProc with an unchanged title,
// against the least any watcher must do per message: the three queries and
// the pass-on to the host's procedure. Both run over the same quiet stand-in.
//
//   bench_native [MESSAGES]     prints: plugin_ns bare_ns ratio
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>

#include "plugin_state.h"
#include "settings/settings.h"
#include "shell/plugin.h"
#include "standin.h"

namespace
{

WNDPROC bareNext;

LRESULT CALLBACK bareWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_USER) {
        if (SendMessageA(window, WM_USER, 0, QUERY_PLAYBACK_STATE)) {
            WPARAM position = (WPARAM)SendMessageA(window, WM_USER, 0, QUERY_PLAYLIST_POSITION);
            volatile LRESULT title = SendMessageA(window, WM_USER, position, QUERY_PLAYLIST_TITLE);
            (void)title;
        }
    }
    return CallWindowProcA(bareNext, window, message, wParam, lParam);
}

double nanosecondsPerMessage(long count)
{
    auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < count; ++i)
        standin::deliver(0x0200, (WPARAM)i, 0);
    std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
    return took.count() / (double)count;
}

void startWorld()
{
    standin::reset();
    standin::world.quiet = true;
    standin::world.hostAnswers.state = 1;
    standin::world.hostAnswers.titles[0] = "An unchanged title of ordinary length";
    resetPluginState();
    pluginRecord.hostWindow = standin::hostWindow();
    pluginRecord.moduleInstance = standin::moduleHandle();
}

} // namespace

int main(int argc, char **argv)
{
    long count = argc > 1 ? atol(argv[1]) : 2000000;
    double plugin = 1e30, bare = 1e30;
    // Alternate the two, best of nine each, to cancel the machine's drift.
    for (int round = 0; round < 9; ++round) {
        startWorld();
        initPlugin();
        standin::deliver(0x0200, 0, 0); // the first title is a change; later ones are not
        plugin = std::min(plugin, nanosecondsPerMessage(count));

        startWorld();
        bareNext = standin::world.host.proc;
        standin::world.host.proc = bareWindowProc;
        bare = std::min(bare, nanosecondsPerMessage(count));
    }
    printf("%.1f %.1f %.3f\n", plugin, bare, plugin / bare);
    return 0;
}
