#include "config/site.h"

#include "frame/nocase.h"

#include <atomic>
#include <cctype>
#include <filesystem>
#include <forward_list>
#include <mutex>
#include <system_error>

#include <syslog.h>
#include <unistd.h>

namespace excursa {

namespace {

namespace fs = std::filesystem;

// Every root ever set stays alive, so a reference from root() never dangles even
// when a test sets a new root while another thread still reads the old one.
std::mutex rootMutex;
std::forward_list<std::string> rootHistory;
std::atomic<const std::string*> currentRoot{nullptr};
const std::string kNoRoot;

// A path inside the site; an unset root means the current folder.
std::string InSite(std::string_view name) {
    const std::string& root = Site::root();
    if (root.empty()) return std::string(name);
    if (root == "/") return std::string("/").append(name);
    return root + "/" + std::string(name);
}

bool IsWindowsDrivePath(std::string_view path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           path[2] == '\\';
}

// Windows names are one folder whatever their letter case: an existing entry
// that differs only in case is taken; a name not found is kept as written.
std::string EntryInFolder(const std::string& folder, std::string_view name) {
    std::error_code ec;
    const std::string exact = folder + std::string(name);
    if (name == "." || name == ".." || fs::exists(fs::symlink_status(exact, ec))) return std::string(name);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string candidate = it->path().filename().string();
        if (SameTextNoCase(candidate, name)) return candidate;
    }
    return std::string(name);
}

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line;
}

void WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written <= 0) return;  // nowhere left to report a failing standard error
        data.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

void Site::setRoot(const std::string& root) {
    std::string normal = root;
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    std::lock_guard lock(rootMutex);
    rootHistory.push_front(std::move(normal));
    currentRoot.store(&rootHistory.front(), std::memory_order_release);
}

const std::string& Site::root() {
    const std::string* root = currentRoot.load(std::memory_order_acquire);
    return root ? *root : kNoRoot;
}

std::string Site::registryFile() { return InSite("registry.reg"); }

std::string Site::wwwFolder() { return InSite("www/"); }

std::string NativePath(std::string_view path) {
    if (!IsWindowsDrivePath(path)) return std::string(path);
    const char drive = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    std::string native = InSite(std::string("drives/") + drive + "/");
    std::string_view rest = path.substr(3);
    while (!rest.empty()) {
        const auto separator = rest.find('\\');
        const std::string_view name = rest.substr(0, separator);
        const bool last = separator == std::string_view::npos;
        rest = last ? std::string_view() : rest.substr(separator + 1);
        if (name.empty()) continue;  // "C:\VEL\\Data" names the same folder as "C:\VEL\Data"
        native += EntryInFolder(native, name);
        if (!last) native += '/';
    }
    return native;
}

void OperatorMessage(std::string_view caption, std::string_view text) {
    static std::once_flag logOpened;
    std::call_once(logOpened, [] { ::openlog("excursa", LOG_PID, LOG_USER); });
    const std::string line = OneLine(caption) + ": " + OneLine(text);
    ::syslog(LOG_USER | LOG_WARNING, "%s", line.c_str());
    WriteAll(STDERR_FILENO, "excursa: " + line + "\n");
}

}  // namespace excursa
