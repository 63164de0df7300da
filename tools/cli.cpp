#include "cli.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <map>
#include <string>

#include "format_names.h"

#ifndef TEXATLAS_VERSION
#define TEXATLAS_VERSION "unknown"
#endif

namespace {

std::string helpTopic;  // the COMMAND of `texatlas help COMMAND`

// Value names by option, so that help shows DIR or N rather than TEXT.
const std::map<std::string, std::string>& valueNames() {
    static const std::map<std::string, std::string> names = {
        {"--output", "DIR"},    {"--textures", "DIR"},      {"--pages", "DIR"},    {"--index", "FILE"},
        {"--json", "FILE"},     {"--save-config", "FILE"},  {"--name", "NAME"},    {"--width", "N"},
        {"--height", "N"},      {"--mip-levels", "N|full"}, {"--border", "N"},     {"--jobs", "N"},
        {"--format", "FORMAT"}, {"--sort", "ORDER"},        {"config", "CONFIG"},  {"index", "INDEX"},
        {"files", "FILE"},      {"directories", "PATH"},    {"command", "COMMAND"}};
    return names;
}

void conventions(CLI::App& command) {
    for (CLI::Option* option : command.get_options()) {
        std::string name = option->get_name(false, true);
        std::string longest = name;
        for (const std::string& alias : option->get_lnames())
            if (valueNames().count("--" + alias)) longest = "--" + alias;
        auto found = valueNames().find(option->get_positional() ? option->get_name() : longest);
        if (found != valueNames().end()) option->type_name(found->second);
        // Scripts build command lines up from defaults: the last value wins.
        if (option->get_expected_max() == 1) option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    }
    for (CLI::App* sub : command.get_subcommands({})) conventions(*sub);
}

// The formatter itself: App::help() shows the last parsed command instead.
void printUsage(CLI::App& app, std::FILE* stream) {
    std::fputs(app.get_formatter()->make_help(&app, "texatlas", CLI::AppFormatMode::Normal).c_str(), stream);
}

}  // namespace

void applyConventions(CLI::App& app) {
    app.name("texatlas");
    app.set_version_flag("-V,--version", "texatlas " TEXATLAS_VERSION);
    CLI::App* help = app.add_subcommand("help", "Show the commands, or one command's options");
    help->add_option("command", helpTopic, "Command to explain");
    conventions(app);
    CLI::App* pack = app.get_subcommand_ptr("pack").get();
    if (pack) pack->footer("Page formats (any letter case): " + knownPageFormatList());
}

int parseArguments(CLI::App& app, int argc, char** argv) {
    if (argc <= 1) {
        printUsage(app, stderr);
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) return app.exit(error);
        std::string command;
        for (CLI::App* sub : app.get_subcommands()) command = " " + sub->get_name();
        std::fprintf(stderr, "texatlas: error: %s\nRun 'texatlas help%s' for usage.\n", error.what(), command.c_str());
        return 2;
    }
    CLI::App* help = app.get_subcommand("help");
    if (!*help) return -1;
    const std::string& topic = helpTopic;
    if (topic.empty()) {
        printUsage(app, stdout);
        return 0;
    }
    for (CLI::App* sub : app.get_subcommands({}))
        if (sub->get_name() == topic && topic != "help") {
            std::fputs(sub->get_formatter()->make_help(sub, "texatlas " + topic, CLI::AppFormatMode::Normal).c_str(),
                       stdout);
            return 0;
        }
    std::fprintf(stderr, "texatlas: error: no command '%s'\nRun 'texatlas help' for usage.\n", topic.c_str());
    return 2;
}
