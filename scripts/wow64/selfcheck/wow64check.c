/*
 * Self-check of the 32-bit Windows route, run by scripts/wow64/setup.sh.
 * Built as a 32-bit Windows program; run in a 64-bit prefix it must:
 *   - find itself a WoW64 process (IsWow64Process true);
 *   - see its own hardware faults with the right exception codes: a null
 *     read is an access violation (0xC0000005), an integer division by zero
 *     0xC0000094, and touching a guard page gives 0x80000001 once, after
 *     which the page is readable.
 * Prints one line per check and exits 0 only when all hold.
 */
#include <windows.h>
#include <stdio.h>

extern void wow64check_null_read(void);
extern void wow64check_int_divide(void);
extern void wow64check_resume(void);

/* Each faulting routine leaves the stack as it found it, so the handler
 * resumes at a plain "ret" that returns to the caller. */
__asm__(
    ".text\n"
    ".globl _wow64check_null_read\n"
    "_wow64check_null_read:\n"
    "    xorl %eax, %eax\n"
    "    movl (%eax), %eax\n"
    "    ret\n"
    ".globl _wow64check_int_divide\n"
    "_wow64check_int_divide:\n"
    "    xorl %ecx, %ecx\n"
    "    xorl %edx, %edx\n"
    "    movl $1, %eax\n"
    "    divl %ecx\n"
    "    ret\n"
    ".globl _wow64check_resume\n"
    "_wow64check_resume:\n"
    "    ret\n");

static volatile DWORD last_code;
static volatile LONG resume_at_ret;

static LONG CALLBACK on_exception(EXCEPTION_POINTERS *ep)
{
    last_code = ep->ExceptionRecord->ExceptionCode;
    if (resume_at_ret)
        ep->ContextRecord->Eip = (DWORD)(ULONG_PTR)wow64check_resume;
    return EXCEPTION_CONTINUE_EXECUTION;
}

static int expect(const char *what, DWORD got, DWORD want)
{
    printf("%s: 0x%08lX%s\n", what, (unsigned long)got, got == want ? "" : " (wrong)");
    return got == want;
}

int main(void)
{
    BOOL wow64 = FALSE;
    int ok = 1;
    volatile LONG *guarded;
    LONG value;

    setvbuf(stdout, NULL, _IONBF, 0);
    if (!IsWow64Process(GetCurrentProcess(), &wow64))
        wow64 = FALSE;
    printf("IsWow64Process: %d\n", wow64 ? 1 : 0);
    ok &= wow64 ? 1 : 0;

    AddVectoredExceptionHandler(1, on_exception);

    resume_at_ret = 1;
    last_code = 0;
    wow64check_null_read();
    ok &= expect("null read", last_code, EXCEPTION_ACCESS_VIOLATION);

    last_code = 0;
    wow64check_int_divide();
    ok &= expect("integer division by zero", last_code, EXCEPTION_INT_DIVIDE_BY_ZERO);

    resume_at_ret = 0;
    last_code = 0;
    guarded = VirtualAlloc(NULL, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE | PAGE_GUARD);
    value = guarded ? *guarded : -1;
    ok &= expect("guard page", last_code, STATUS_GUARD_PAGE_VIOLATION);
    if (value != 0) {
        printf("guard page: read back %ld after the guard went (wrong)\n", (long)value);
        ok = 0;
    }

    printf("%s\n", ok ? "wow64 self-check passed" : "wow64 self-check FAILED");
    return ok ? 0 : 1;
}
