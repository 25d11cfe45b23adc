#include "platform/device_lock.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace orbisk {
namespace {

constexpr uint32_t kInitialisedMagic = 0x4F524C4B;  // "ORLK"

// The shared segment: a magic word written last by the initialiser, then the mutex.
struct SharedLock {
    uint32_t magic;
    pthread_mutex_t mutex;
};

std::string ShmName(const std::string& name) {
    return name.starts_with("/") ? name : "/" + name;
}

// Process-shared, robust, recursive pthread mutex in POSIX shared memory.
class PosixDeviceLock final : public DeviceLock {
  public:
    explicit PosixDeviceLock(const std::string& name) { open_error_ = Open(ShmName(name)); }
    ~PosixDeviceLock() override {
        if (shared_ != nullptr) munmap(shared_, sizeof(SharedLock));
    }

    LockWaitResult Wait(uint32_t timeout_ms) override {
        if (shared_ == nullptr) return {LockWait::kFailed, open_error_};
        timespec deadline{};
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += timeout_ms / 1000;
        deadline.tv_nsec += static_cast<long>(timeout_ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        const int rc = pthread_mutex_clocklock(&shared_->mutex, CLOCK_MONOTONIC, &deadline);
        switch (rc) {
            case 0:
                return {LockWait::kAcquired, 0};
            case EOWNERDEAD:
                // Without this the mutex becomes unusable for every process.
                pthread_mutex_consistent(&shared_->mutex);
                return {LockWait::kAbandoned, 0};
            case ETIMEDOUT:
                return {LockWait::kTimedOut, 0};
            case EINVAL:
            case ENOTRECOVERABLE:
            case EAGAIN:
            case EDEADLK:
                return {LockWait::kFailed, rc};
            default:
                return {LockWait::kOther, rc};
        }
    }

    void Release() override {
        if (shared_ != nullptr) pthread_mutex_unlock(&shared_->mutex);
    }

  private:
    int Open(const std::string& shm_name) {
        const int fd = shm_open(shm_name.c_str(), O_RDWR | O_CREAT, 0666);
        if (fd < 0) return errno;
        // Initialise under an exclusive file lock: a creator that dies meanwhile releases it.
        if (flock(fd, LOCK_EX) != 0) {
            const int err = errno;
            close(fd);
            return err;
        }
        int err = 0;
        struct stat st {};
        if (fstat(fd, &st) != 0) {
            err = errno;
        } else if (st.st_size < static_cast<off_t>(sizeof(SharedLock))) {
            // Other users must be able to open the lock whatever our umask.
            fchmod(fd, 0666);
            if (ftruncate(fd, sizeof(SharedLock)) != 0) err = errno;
        }
        void* map = MAP_FAILED;
        if (err == 0) {
            map = mmap(nullptr, sizeof(SharedLock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (map == MAP_FAILED) err = errno;
        }
        if (err == 0) {
            auto* shared = static_cast<SharedLock*>(map);
            if (shared->magic != kInitialisedMagic) err = InitialiseMutex(shared);
            if (err == 0) {
                shared_ = shared;
            } else {
                munmap(map, sizeof(SharedLock));
            }
        }
        flock(fd, LOCK_UN);
        close(fd);
        return err;
    }

    static int InitialiseMutex(SharedLock* shared) {
        pthread_mutexattr_t attr;
        int rc = pthread_mutexattr_init(&attr);
        if (rc != 0) return rc;
        rc = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
        if (rc == 0) rc = pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
        if (rc == 0) rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
        if (rc == 0) rc = pthread_mutex_init(&shared->mutex, &attr);
        pthread_mutexattr_destroy(&attr);
        if (rc == 0) {
            __atomic_store_n(&shared->magic, kInitialisedMagic, __ATOMIC_RELEASE);
        }
        return rc;
    }

    SharedLock* shared_ = nullptr;
    int open_error_ = 0;
};

}  // namespace

std::shared_ptr<DeviceLock> OpenDeviceLock(const std::string& name) {
    return std::make_shared<PosixDeviceLock>(name);
}

void RemoveDeviceLock(const std::string& name) {
    shm_unlink(ShmName(name).c_str());
}

}  // namespace orbisk
