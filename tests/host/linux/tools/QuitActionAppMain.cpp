// A GApplication that owns its id on the session bus and exports a "quit" action, for the tests
// of asking an application to quit: corvane-quit-action-app ID LOG. It appends "started" to LOG
// when it runs and "quit" when the action arrives, then ends.
#include <cstdio>
#include <gio/gio.h>

namespace {

const char* gLog = nullptr;

void note(const char* line) {
    if (FILE* file = std::fopen(gLog, "a")) {
        std::fprintf(file, "%s\n", line);
        std::fclose(file);
    }
}

void onQuit(GSimpleAction*, GVariant*, gpointer application) {
    note("quit");
    g_application_quit(G_APPLICATION(application));
}

void onActivate(GApplication*, gpointer) {}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        return 2;
    }
    gLog = argv[2];
    GApplication* application = g_application_new(argv[1], static_cast<GApplicationFlags>(0));
    GSimpleAction* quit = g_simple_action_new("quit", nullptr);
    g_signal_connect(quit, "activate", G_CALLBACK(onQuit), application);
    g_action_map_add_action(G_ACTION_MAP(application), G_ACTION(quit));
    g_signal_connect(application, "activate", G_CALLBACK(onActivate), nullptr);
    note("started");
    GError* error = nullptr;
    if (!g_application_register(application, nullptr, &error)) {
        std::fprintf(stderr, "%s\n", error->message);
        return 1;
    }
    g_application_hold(application);
    char* noArguments[] = {argv[0], nullptr};
    const int status = g_application_run(application, 1, noArguments);
    g_object_unref(quit);
    g_object_unref(application);
    return status;
}
