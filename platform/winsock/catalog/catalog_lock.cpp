// The catalog lock file (Linux side).
#include "catalog_lock.h"

#include <qf/machine_root.h>

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace qf::wscat {

CatalogLock::CatalogLock() {
    std::string root = qf::machine_root();
    mkdir(root.c_str(), 0755);  // a fresh root may not exist yet; the registry creates it likewise
    std::string path = root + "/winsock-catalog.lock";
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return;
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            close(fd_);
            fd_ = -1;
            return;
        }
    }
}

CatalogLock::~CatalogLock() {
    if (fd_ >= 0) close(fd_);  // closing the only descriptor releases the flock
}

}  // namespace qf::wscat
