/* Preloaded into 32-bit Wine under qemu-i386, which delivers every hardware
 * fault with trap number -1: Wine reads the trap number to tell an access
 * violation from an illegal instruction or a divide error. This wraps
 * sigaction so that Wine's handlers see the trap number that the signal and
 * its si_code imply. Built without a C library (no 32-bit headers here), so
 * the few layouts it needs are spelt out for i386 Linux. */

#define SIGILL 4
#define SIGTRAP 5
#define SIGBUS 7
#define SIGFPE 8
#define SIGSEGV 11
#define SA_SIGINFO 4
#define NSIG 65

/* struct sigaction on i386 glibc: handler, 1024-bit mask, flags, restorer. */
struct kardum_sigaction {
  void (*handler)(int, void *, void *);
  unsigned long mask[32];
  int flags;
  void (*restorer)(void);
};

extern void *dlsym(void *handle, const char *name);
#define RTLD_NEXT ((void *)-1l)

typedef int (*sigaction_fn)(int, const struct kardum_sigaction *, struct kardum_sigaction *);
static sigaction_fn real_sigaction;
static void (*wine_handlers[NSIG])(int, void *, void *);

/* x86 trap numbers, as the kernel would put them in the context. */
static int TrapFor(int sig, int code) {
  switch (sig) {
    case SIGSEGV: return 14;                       /* page fault */
    case SIGBUS: return 17;                        /* alignment check */
    case SIGILL: return 6;                         /* invalid opcode */
    case SIGTRAP: return code == 2 ? 1 : 3;        /* trace : breakpoint */
    case SIGFPE:
      if (code == 1) return 0;                     /* FPE_INTDIV */
      if (code == 2) return 4;                     /* FPE_INTOVF */
      return 16;                                   /* x87 error */
    default: return -1;
  }
}

static void Trampoline(int sig, void *info, void *context) {
  /* ucontext_t: flags, link, a 12-byte stack_t, then gregs[]; REG_TRAPNO is 12. */
  int *trapno = (int *)((char *)context + 20 + 12 * 4);
  int code = ((int *)info)[2];
  if (*trapno == -1) *trapno = TrapFor(sig, code);
  wine_handlers[sig](sig, info, context);
}

static int Wrapped(int sig) {
  return sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGTRAP || sig == SIGFPE;
}

int sigaction(int sig, const struct kardum_sigaction *act, struct kardum_sigaction *old) {
  if (!real_sigaction) real_sigaction = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
  struct kardum_sigaction copy;
  void (*previous)(int, void *, void *) = 0;
  int ours = sig > 0 && sig < NSIG && Wrapped(sig);
  if (ours) previous = wine_handlers[sig];
  if (act && ours && (act->flags & SA_SIGINFO)) {
    copy = *act;
    wine_handlers[sig] = act->handler;
    copy.handler = Trampoline;
    act = &copy;
  } else if (act && ours) {
    wine_handlers[sig] = 0;
  }
  int result = real_sigaction(sig, act, old);
  if (old && ours && previous && old->handler == Trampoline) old->handler = previous;
  return result;
}

/* Same entry under the name glibc also exports. */
int __sigaction(int sig, const struct kardum_sigaction *act, struct kardum_sigaction *old)
    __attribute__((alias("sigaction")));
