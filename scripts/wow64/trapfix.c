/*
 * Trap-number fix for 32-bit x86 programs run by qemu user-mode emulation.
 *
 * qemu-i386 hands a signal handler a context whose trap number
 * (uc_mcontext.gregs[REG_TRAPNO]) is -1.  Wine's 32-bit signal handlers
 * choose the Windows exception code from that number, so without a fix an
 * access violation is reported as an illegal instruction, an integer
 * division by zero as a floating-point error, and a guard-page touch kills
 * the process.
 *
 * This library is preloaded into i386 processes only.  It wraps sigaction():
 * a SA_SIGINFO handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE or SIGTRAP is
 * replaced by a small trampoline that fills in the trap number the way the
 * Linux kernel would on real hardware, then calls the program's handler with
 * the same arguments.  Asking for the current action gives back the
 * program's own handler, so the wrapping cannot be seen.
 *
 * It is built with "gcc -m32 -nostdlib -shared" against the i386 libc.so.6
 * and therefore includes no system header: the few i386 ABI definitions it
 * needs are written out below.
 */

/* ---- i386 Linux / glibc ABI definitions ---------------------------------- */

#define SIGTRAP 5
#define SIGBUS  7
#define SIGFPE  8
#define SIGILL  4
#define SIGSEGV 11
#define NSIG_MAX 65

#define SA_SIGINFO 4
#define SIG_DFL_VALUE ((void *)0)
#define SIG_IGN_VALUE ((void *)1)

/* si_code values */
#define SEGV_MAPERR  1
#define SEGV_ACCERR  2
#define SEGV_PKUERR  4
#define BUS_ADRERR   2
#define BUS_MCEERR_AR 4
#define BUS_MCEERR_AO 5
#define FPE_INTDIV   1
#define FPE_INTOVF   2
#define TRAP_BRKPT   1
#define TRAP_TRACE   2

/* x86 trap numbers, as the kernel stores them in the signal context */
#define TRAPNO_DIVIDE    0
#define TRAPNO_DEBUG     1
#define TRAPNO_BREAKPT   3
#define TRAPNO_INVALOP   6
#define TRAPNO_GPF      13
#define TRAPNO_PAGEFLT  14
#define TRAPNO_FPU      16

#define REG_TRAPNO 12   /* index in the i386 gregset_t */

typedef void (*sigaction_fn)(int, void *, void *);

struct i386_sigaction {
    void *handler;              /* sa_handler / sa_sigaction */
    unsigned long mask[32];     /* sigset_t: 1024 bits */
    int flags;
    void (*restorer)(void);
};

struct i386_siginfo_head {
    int si_signo;
    int si_errno;
    int si_code;
};

struct i386_ucontext_head {
    unsigned long uc_flags;
    void *uc_link;
    void *ss_sp;
    int ss_flags;
    unsigned int ss_size;
    int gregs[19];              /* uc_mcontext.gregs */
};

/* from libc.so.6 */
extern void *dlsym(void *handle, const char *name);
#define RTLD_NEXT ((void *)-1L)

/* ---- the fix ----------------------------------------------------------- */

typedef int (*real_sigaction_fn)(int, const struct i386_sigaction *,
                                 struct i386_sigaction *);

static real_sigaction_fn real_sigaction;
static sigaction_fn volatile user_handler[NSIG_MAX];

static int trap_number(int sig, int code)
{
    switch (sig) {
    case SIGSEGV:
        return (code == SEGV_MAPERR || code == SEGV_ACCERR || code == SEGV_PKUERR)
               ? TRAPNO_PAGEFLT : TRAPNO_GPF;
    case SIGBUS:
        return (code == BUS_ADRERR || code == BUS_MCEERR_AR || code == BUS_MCEERR_AO)
               ? TRAPNO_PAGEFLT : TRAPNO_GPF;
    case SIGFPE:
        return (code == FPE_INTDIV || code == FPE_INTOVF) ? TRAPNO_DIVIDE : TRAPNO_FPU;
    case SIGTRAP:
        /* A single step (debug exception) comes as TRAP_TRACE from the
         * kernel but as TRAP_BRKPT from qemu; int3 comes as SI_KERNEL. */
        return (code == TRAP_TRACE || code == TRAP_BRKPT) ? TRAPNO_DEBUG : TRAPNO_BREAKPT;
    case SIGILL:
        return TRAPNO_INVALOP;
    }
    return -1;
}

static int is_wrapped_signal(int sig)
{
    return sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGTRAP || sig == SIGILL;
}

static void trampoline(int sig, void *info, void *context)
{
    struct i386_siginfo_head *si = info;
    struct i386_ucontext_head *uc = context;
    sigaction_fn handler = (sig > 0 && sig < NSIG_MAX) ? user_handler[sig] : 0;

    if (si && uc)
        uc->gregs[REG_TRAPNO] = trap_number(sig, si->si_code);
    if (handler)
        handler(sig, info, context);
}

int sigaction(int sig, const struct i386_sigaction *act, struct i386_sigaction *oldact)
{
    struct i386_sigaction mine;
    sigaction_fn previous;
    int ret;

    if (!real_sigaction) {
        real_sigaction = (real_sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
        if (!real_sigaction)
            return -1;
    }
    if (sig <= 0 || sig >= NSIG_MAX || !is_wrapped_signal(sig))
        return real_sigaction(sig, act, oldact);

    previous = user_handler[sig];
    if (act && (act->flags & SA_SIGINFO) &&
        act->handler != SIG_DFL_VALUE && act->handler != SIG_IGN_VALUE) {
        mine = *act;
        user_handler[sig] = (sigaction_fn)act->handler;
        mine.handler = (void *)trampoline;
        ret = real_sigaction(sig, &mine, oldact);
        if (ret != 0)
            user_handler[sig] = previous;
    } else {
        ret = real_sigaction(sig, act, oldact);
    }
    /* report the program's own handler, never the trampoline */
    if (ret == 0 && oldact && oldact->handler == (void *)trampoline)
        oldact->handler = (void *)previous;
    return ret;
}
