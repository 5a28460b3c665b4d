// The lock that keeps two runs out of one working folder. Each run holds its lists in
// memory and writes them whole, so two runs at once would each overwrite the other's rows.
#pragma once

namespace platform {

enum class LockState { held, busy, unavailable };

// Takes the working folder for the lifetime of the object, through the file "bunkai.lock"
// in it. The lock belongs to the open file, so the system releases it when the process ends
// in any way, a crash included. The file is opened without following a link and only when
// it is a regular file; it is created empty when missing and left in place afterwards
// (removing it would let a run that opened the old file and a run that made a new one both
// hold "the" lock). `busy` when another process holds the lock; `unavailable` when no lock
// file can be had here (a read-only folder, or something other than a regular file at its
// name).
class WorkingFolderLock {
  public:
    WorkingFolderLock();
    ~WorkingFolderLock();
    WorkingFolderLock(const WorkingFolderLock&) = delete;
    WorkingFolderLock& operator=(const WorkingFolderLock&) = delete;

    LockState state() const { return state_; }

  private:
    LockState state_ = LockState::unavailable;
    void* handle_ = nullptr;  // the open lock file, in the form of the system's own
};

// The lock file's name in the working folder.
inline constexpr const char* kLockName = "bunkai.lock";

}  // namespace platform
