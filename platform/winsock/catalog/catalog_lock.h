// A machine-wide lock for read-modify-write of the Winsock catalog: a lock file under the machine
// root, held with flock, so a crashed holder releases it.
#pragma once

namespace qf::wscat {

class CatalogLock {
public:
    CatalogLock();  // blocks until held; held() is false when the lock file cannot be opened
    ~CatalogLock();
    CatalogLock(const CatalogLock&) = delete;
    CatalogLock& operator=(const CatalogLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace qf::wscat
