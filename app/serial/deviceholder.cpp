#include "app/serial/deviceholder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace scale {
namespace {

bool sameNode(const struct stat& node, const struct stat& other) {
    const auto type = node.st_mode & S_IFMT;
    if (type == S_IFCHR || type == S_IFBLK) {
        return (other.st_mode & S_IFMT) == type && other.st_rdev == node.st_rdev;
    }
    return other.st_dev == node.st_dev && other.st_ino == node.st_ino;
}

QString programOf(long pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size()));
}

// The process whose flock holds the node, from /proc/locks, whose lines read
// "1: FLOCK  ADVISORY  WRITE 4242 00:19:3 0 EOF" (device numbers in hexadecimal).
std::optional<long> lockHolder(const struct stat& node, long self) {
    std::ifstream locks("/proc/locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, place;
        long pid = 0;
        if (!(fields >> number >> kind) || kind != "FLOCK" ||
            !(fields >> mode >> access >> pid >> place)) {
            continue;  // another kind of lock, or a waiter ("->")
        }
        unsigned int major = 0;
        unsigned int minor = 0;
        unsigned long inode = 0;
        if (std::sscanf(place.c_str(), "%x:%x:%lu", &major, &minor, &inode) == 3 &&
            makedev(major, minor) == node.st_dev && inode == node.st_ino && pid != self) {
            return pid;
        }
    }
    return std::nullopt;
}

bool hasOpen(long pid, const struct stat& node) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    DIR* descriptors = ::opendir(folder.c_str());
    if (descriptors == nullptr) {
        return false;  // gone, or another user's
    }
    bool found = false;
    while (const dirent* entry = ::readdir(descriptors)) {
        struct stat target {};
        if (entry->d_name[0] != '.' &&
            ::stat((folder + '/' + entry->d_name).c_str(), &target) == 0 &&
            sameNode(node, target)) {
            found = true;
            break;
        }
    }
    ::closedir(descriptors);
    return found;
}

}  // namespace

std::optional<DeviceHolder> deviceLockHolder(const QString& devicePath) {
    struct stat node {};
    if (::stat(QFile::encodeName(devicePath).constData(), &node) != 0) {
        return std::nullopt;
    }
    if (const std::optional<long> locker = lockHolder(node, static_cast<long>(::getpid()))) {
        return DeviceHolder{*locker, programOf(*locker)};
    }
    return std::nullopt;
}

std::optional<DeviceHolder> deviceHolder(const QString& devicePath) {
    struct stat node {};
    if (::stat(QFile::encodeName(devicePath).constData(), &node) != 0) {
        return std::nullopt;
    }
    const long self = static_cast<long>(::getpid());
    if (const std::optional<long> locker = lockHolder(node, self)) {
        return DeviceHolder{*locker, programOf(*locker)};
    }
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) {
        return std::nullopt;
    }
    std::optional<DeviceHolder> holder;
    while (const dirent* entry = ::readdir(processes)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (pid > 0 && *end == '\0' && pid != self && hasOpen(pid, node)) {
            holder = DeviceHolder{pid, programOf(pid)};
            break;
        }
    }
    ::closedir(processes);
    return holder;
}

}  // namespace scale
