#include "testenv.h"

#include <chrono>
#include <fcntl.h>
#include <unistd.h>
#include <thread>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testenv {

namespace {
std::string rootFolder;
std::atomic<int> counter{0};
} // namespace

void setRoot(const std::string& folder) { rootFolder = folder; }

const std::string& root() { return rootFolder; }

std::string freshFolder(const std::string& hint)
{
    const std::string path = rootFolder + "/" + hint + "-" + std::to_string(++counter);
    std::filesystem::create_directories(path);
    return path;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<unsigned char> readBytes(const std::string& path)
{
    const std::string text = readFile(path);
    return std::vector<unsigned char>(text.begin(), text.end());
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void appendBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name(name)
{
    const char* old = std::getenv(name);
    hadValue = old != nullptr;
    if (old)
        oldValue = old;
    if (value)
        ::setenv(name, value, 1);
    else
        ::unsetenv(name);
}

ScopedEnv::~ScopedEnv()
{
    if (hadValue)
        ::setenv(name.c_str(), oldValue.c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

bool eventually(const std::function<bool()>& condition, double seconds, int pollMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return condition();
}

void redirectOutput(const std::string& out, const std::string& err)
{
    ::dup2(::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
}

} // namespace testenv
