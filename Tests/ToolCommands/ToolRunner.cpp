#include "ToolRunner.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The directories this test process made, removed when it ends: several builds may run the same
// tests at once, so each process works in directories of its own.
class CTestDirs
{
public:
    ~CTestDirs()
    {
        std::error_code ignored;
        for (const std::string& dir : m_dirs)
            std::filesystem::remove_all(dir, ignored);
    }
    std::string Make(const std::string& name)
    {
        const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                          ("rv_tool_" + std::to_string(getpid()) + "_" + name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        m_dirs.push_back(dir.string());
        return dir.string();
    }

private:
    std::vector<std::string> m_dirs;
};

CTestDirs g_testDirs;

std::string FileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// libpng leaves a failing call through this; the setjmp in ReadInfo catches it.
void OnPngError(png_structp png, png_const_charp message)
{
    std::snprintf(static_cast<char*>(png_get_error_ptr(png)), 256, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) { }

// Holds no object with a destructor, as libpng may leave it by longjmp.
bool ReadInfo(std::FILE* file, SPngHeader& header, char* message)
{
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, message, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(message, 256, "cannot start libpng");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    header.width = static_cast<int>(png_get_image_width(png, info));
    header.height = static_cast<int>(png_get_image_height(png, info));
    header.bitDepth = png_get_bit_depth(png, info);
    header.colorType = png_get_color_type(png, info);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

SToolRun RunTool(const std::vector<std::string>& args, const SToolSetting& setting)
{
    // The streams go through files, so a chatty tool cannot block on a pipe.
    static const std::string dir = g_testDirs.Make("run");
    const std::string outPath =
        setting.standardOutput.empty() ? dir + "/stdout" : setting.standardOutput;
    const std::string errPath = dir + "/stderr";

    std::vector<std::string> words{RV_HALFTONE_TOOL};
    if (setting.memoryLimitKiB > 0)  // the shell sets the limit, then becomes the tool
        words = {"/bin/sh", "-c", "ulimit -v " + std::to_string(setting.memoryLimitKiB) +
                                      " && exec \"$0\" \"$@\"",
                 RV_HALFTONE_TOOL};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** variable = environ; *variable != nullptr; ++variable)
        variables.emplace_back(*variable);
    variables.insert(variables.end(), setting.environment.begin(), setting.environment.end());
    std::vector<char*> envp;
    for (std::string& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string inPath =
        setting.standardInput.empty() ? std::string("/dev/null") : setting.standardInput;
    posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);

    SToolRun run;
    if (spawned != 0) {
        run.err = std::string("cannot start ") + argv[0];
        return run;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    for (;;) {
        const pid_t ended = waitpid(pid, &status, WNOHANG);
        if (ended == pid)
            break;
        if (ended < 0 && errno != EINTR) {
            run.err = "lost the tool process";
            return run;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = setting.standardOutput.empty() ? FileText(outPath) : std::string();
    run.err = FileText(errPath);
    return run;
}

std::string FreshTestDir()
{
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(test->test_suite_name()) + "_" + test->name();
    for (char& c : name)
        if (c == '/')
            c = '_';
    return g_testDirs.Make(name);
}

bool ReadPngHeader(const std::string& path, SPngHeader& header, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": cannot open";
        return false;
    }
    char message[256] = "";
    const bool ok = ReadInfo(file, header, message);
    std::fclose(file);
    if (!ok)
        error = path + ": " + message;
    return ok;
}

bool ReadPngPixels(const std::string& path, SPngPixels& pixels, std::string& error)
{
    // The simplified interface converts every grey or RGB layout to 8-bit samples.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = path + ": " + image.message;
        return false;
    }
    const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    pixels.width = static_cast<int>(image.width);
    pixels.height = static_cast<int>(image.height);
    pixels.channels = colour ? 3 : 1;
    pixels.samples.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, pixels.samples.data(), 0, nullptr)) {
        error = path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}
