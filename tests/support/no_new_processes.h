// A process that can make no other process, as a sandbox that forbids fork makes it: a seccomp
// filter fails every call that makes one (clone, clone3, fork, vfork) with EPERM. It holds for
// the rest of the process's life and passes to programs it runs, so a test sets it in a process
// of its own (a death test's child).
#pragma once

#if defined(__linux__)
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>

#include <cerrno>
#include <cstddef>

namespace no_new_processes {

// False where the filter cannot be set (another architecture, or a kernel without seccomp).
inline bool Forbid() {
#if defined(__x86_64__)
  constexpr unsigned kArchitecture = AUDIT_ARCH_X86_64;
#if defined(SYS_clone3)
  constexpr unsigned kClone3 = SYS_clone3;
#else
  constexpr unsigned kClone3 = 435;
#endif
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kArchitecture, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_clone, 4, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kClone3, 3, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_fork, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_vfork, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
  return false;
#endif
}

}  // namespace no_new_processes
#endif
