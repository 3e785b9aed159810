#!/usr/bin/env python3
"""Run one program on a fast fake wall clock, by ptrace (Linux, x86-64 only).

    fakeclock.py --start EPOCH --rate R [--anchor-file FILE] [--stop-at EPOCH]
                 [--trace-log FILE] -- PROGRAM ARGS...

The program sees the wall clock start at EPOCH (seconds since 1970, UTC) at the
moment it is started and run R times faster than the real one; its sleeps are
R times shorter in real time. FILE, when given, receives the real instant
(seconds since 1970, as a decimal) that EPOCH stands for, written before the
program runs its first instruction, so that

    fake = EPOCH + R * (real - anchor)

holds exactly for every clock read the program makes. With --stop-at, the
program gets SIGTERM (and SIGKILL a real second later) when the fake clock
reaches that instant, and fakeclock.py then exits 124, as timeout(1) does.
Otherwise it exits with the program's status. --trace-log writes every system
call it stops at, for reading by hand (it slows the program down).

libfaketime does the same for dynamically linked programs through LD_PRELOAD.
This exists for the statically linked ones (busybox-static's crond), where a
preloaded library has nothing to hook. It works at the level of system calls:

- At the program's first stop (right after execve) it hides the vDSO by
  turning the AT_SYSINFO_EHDR entry of the auxiliary vector into AT_IGNORE.
  glibc then reads the clocks with real system calls, which a tracer sees.
- clock_gettime, gettimeofday and time have their results rewritten: the
  realtime clocks by the formula above, the monotonic ones scaled by R around
  their value at the anchor.
- nanosleep and clock_nanosleep have their requested duration divided by R
  (absolute deadlines are mapped back to real time); the request is restored
  when the call returns, and a remainder left by an interruption is scaled up.

Children the program forks are not traced: they run on the real clock (the
jobs of a cron daemon record the real time anyway). Only the main thread is
traced, which is enough for single-threaded daemons. poll/select timeouts,
timers and file times are left alone.
"""

import argparse
import ctypes
import os
import signal
import struct
import sys
import time

PTRACE_TRACEME = 0
PTRACE_GETREGS = 12
PTRACE_SETREGS = 13
PTRACE_SYSCALL = 24
PTRACE_SETOPTIONS = 0x4200
PTRACE_O_TRACESYSGOOD = 0x1
PTRACE_O_EXITKILL = 0x100000
WALL = 0x40000000

AT_NULL = 0
AT_IGNORE = 1
AT_SYSINFO_EHDR = 33

SYS_NANOSLEEP = 35
SYS_GETTIMEOFDAY = 96
SYS_TIME = 201
SYS_CLOCK_GETTIME = 228
SYS_CLOCK_NANOSLEEP = 230

REALTIME_CLOCKS = {0, 5, 8, 11}  # REALTIME, REALTIME_COARSE, REALTIME_ALARM, TAI
MONOTONIC_CLOCKS = {1, 4, 6, 7, 9}  # MONOTONIC, _RAW, _COARSE, BOOTTIME, BOOTTIME_ALARM
TIMER_ABSTIME = 1
EINTR = 4
NSEC = 1_000_000_000


class Regs(ctypes.Structure):
    _fields_ = [
        (name, ctypes.c_ulonglong)
        for name in (
            "r15 r14 r13 r12 rbp rbx r11 r10 r9 r8 rax rcx rdx rsi rdi orig_rax "
            "rip cs eflags rsp ss fs_base gs_base ds es fs gs"
        ).split()
    ]


libc = ctypes.CDLL(None, use_errno=True)
libc.ptrace.restype = ctypes.c_long
libc.ptrace.argtypes = [ctypes.c_long, ctypes.c_long, ctypes.c_void_p, ctypes.c_void_p]


def ptrace(request, pid, addr=0, data=0):
    result = libc.ptrace(request, pid, ctypes.c_void_p(addr), ctypes.c_void_p(data))
    if result == -1:
        err = ctypes.get_errno()
        if err:
            raise OSError(err, f"ptrace({request}): {os.strerror(err)}")
    return result


def signed(value):
    return value - (1 << 64) if value & (1 << 63) else value


class Clock:
    """The mapping between the real clocks and the program's fake ones."""

    def __init__(self, start, rate):
        self.rate = rate
        self.fake_start_ns = round(start * NSEC)
        self.real_anchor_ns = time.clock_gettime_ns(time.CLOCK_REALTIME)
        self.mono_anchor_ns = time.clock_gettime_ns(time.CLOCK_MONOTONIC)

    def fake_realtime(self, real_ns):
        return self.fake_start_ns + round(self.rate * (real_ns - self.real_anchor_ns))

    def real_realtime(self, fake_ns):
        return self.real_anchor_ns + round((fake_ns - self.fake_start_ns) / self.rate)

    def fake_monotonic(self, real_ns):
        return self.mono_anchor_ns + round(self.rate * (real_ns - self.mono_anchor_ns))

    def real_monotonic(self, fake_ns):
        return self.mono_anchor_ns + round((fake_ns - self.mono_anchor_ns) / self.rate)


class Tracee:
    def __init__(self, pid):
        self.pid = pid
        self.mem = os.open(f"/proc/{pid}/mem", os.O_RDWR)

    def regs(self):
        regs = Regs()
        ptrace(PTRACE_GETREGS, self.pid, 0, ctypes.addressof(regs))
        return regs

    def set_regs(self, regs):
        ptrace(PTRACE_SETREGS, self.pid, 0, ctypes.addressof(regs))

    def read(self, addr, size):
        return os.pread(self.mem, size, addr)

    def write(self, addr, data):
        os.pwrite(self.mem, data, addr)

    def read_pair(self, addr):
        return struct.unpack("<qq", self.read(addr, 16))

    def write_pair(self, addr, first, second):
        self.write(addr, struct.pack("<qq", first, second))


def hide_vdso(tracee):
    """Turn AT_SYSINFO_EHDR into AT_IGNORE in the fresh process's auxiliary vector."""
    sp = tracee.regs().rsp
    (argc,) = struct.unpack("<q", tracee.read(sp, 8))
    addr = sp + 8 * (argc + 2)  # past argc, argv[] and its NULL
    while struct.unpack("<Q", tracee.read(addr, 8))[0] != 0:
        addr += 8
    addr += 8  # past the NULL that ends envp[]
    hidden = False
    while True:
        kind, _value = struct.unpack("<QQ", tracee.read(addr, 16))
        if kind == AT_NULL:
            return hidden
        if kind == AT_SYSINFO_EHDR:
            tracee.write(addr, struct.pack("<Q", AT_IGNORE))
            hidden = True
        addr += 16


def split_ns(ns):
    return ns // NSEC, ns % NSEC


class Handler:
    """Rewrites the time system calls of one thread."""

    def __init__(self, tracee, clock, log=None):
        self.tracee = tracee
        self.clock = clock
        self.log = log
        # While inside a call: its number, its first two arguments, what a sleep changed.
        self.entered = None

    def on_entry(self, regs):
        number = regs.orig_rax
        saved = None
        if number == SYS_NANOSLEEP and regs.rdi:
            saved = self.shorten_sleep(regs.rdi, clock_id=1, absolute=False)
            saved = (saved, regs.rsi, False)
        elif number == SYS_CLOCK_NANOSLEEP and regs.rdx:
            absolute = bool(regs.rsi & TIMER_ABSTIME)
            saved = self.shorten_sleep(regs.rdx, clock_id=regs.rdi, absolute=absolute)
            saved = (saved, regs.r10, absolute)
        self.entered = (number, regs.rdi, regs.rsi, saved)
        if self.log:
            self.log.write(f"{time.clock_gettime_ns(time.CLOCK_REALTIME)} entry {number} "
                           f"{regs.rdi:#x} {regs.rsi:#x} {regs.rdx:#x}\n")

    def shorten_sleep(self, addr, clock_id, absolute):
        original = self.tracee.read(addr, 16)
        sec, nsec = struct.unpack("<qq", original)
        fake_ns = sec * NSEC + nsec
        if absolute:
            if clock_id in REALTIME_CLOCKS:
                real_ns = self.clock.real_realtime(fake_ns)
            elif clock_id in MONOTONIC_CLOCKS:
                real_ns = self.clock.real_monotonic(fake_ns)
            else:
                return None
        else:
            real_ns = max(0, round(fake_ns / self.clock.rate))
        self.tracee.write_pair(addr, *split_ns(real_ns))
        return (addr, original)

    def on_exit(self, regs):
        if self.entered is None:
            return
        number, arg0, arg1, saved = self.entered
        self.entered = None
        result = signed(regs.rax)
        if number == SYS_CLOCK_GETTIME and result == 0 and arg1:
            if arg0 in REALTIME_CLOCKS:
                self.rewrite_timespec(arg1, self.clock.fake_realtime)
            elif arg0 in MONOTONIC_CLOCKS:
                self.rewrite_timespec(arg1, self.clock.fake_monotonic)
        elif number == SYS_GETTIMEOFDAY and result == 0 and arg0:
            sec, usec = self.tracee.read_pair(arg0)
            fake_ns = self.clock.fake_realtime(sec * NSEC + usec * 1000)
            fsec, fnsec = split_ns(fake_ns)
            self.tracee.write_pair(arg0, fsec, fnsec // 1000)
        elif number == SYS_TIME and result >= 0:
            fake = self.clock.fake_realtime(time.clock_gettime_ns(time.CLOCK_REALTIME)) // NSEC
            regs.rax = fake
            self.tracee.set_regs(regs)
            if arg0:
                self.tracee.write(arg0, struct.pack("<q", fake))
        elif number in (SYS_NANOSLEEP, SYS_CLOCK_NANOSLEEP) and saved is not None:
            restore, remainder, absolute = saved
            # Read the remainder before restoring the request: they may be the same buffer
            # (glibc's sleep passes one timespec as both).
            left = None
            if result == -EINTR and remainder and not absolute:
                sec, nsec = self.tracee.read_pair(remainder)
                left = round((sec * NSEC + nsec) * self.clock.rate)
            if restore is not None:
                self.tracee.write(*restore)
            if left is not None:
                self.tracee.write_pair(remainder, *split_ns(left))
        if self.log:
            self.log.write(f"{time.clock_gettime_ns(time.CLOCK_REALTIME)} exit {number} {result}\n")

    def rewrite_timespec(self, addr, transform):
        sec, nsec = self.tracee.read_pair(addr)
        fake = transform(sec * NSEC + nsec)
        self.tracee.write_pair(addr, *split_ns(fake))
        if self.log:
            self.log.write(f"  real {sec}.{nsec:09d} fake {fake / NSEC:.6f}\n")


def run(start, rate, anchor_file, stop_at, argv, trace_log=None):
    pid = os.fork()
    if pid == 0:
        try:
            ptrace(PTRACE_TRACEME, 0)
            os.execvp(argv[0], argv)
        except OSError as err:
            os.write(2, f"fakeclock: {argv[0]}: {err.strerror}\n".encode())
        os._exit(127)

    _, status = os.waitpid(pid, WALL)
    if not os.WIFSTOPPED(status):
        return os.waitstatus_to_exitcode(status)
    ptrace(PTRACE_SETOPTIONS, pid, 0, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL)
    tracee = Tracee(pid)
    if not hide_vdso(tracee):
        print("fakeclock: no vDSO entry in the auxiliary vector", file=sys.stderr)
    clock = Clock(start, rate)
    if anchor_file:
        with open(anchor_file, "w") as out:
            out.write(f"{clock.real_anchor_ns // NSEC}.{clock.real_anchor_ns % NSEC:09d}\n")
    log = open(trace_log, "w", buffering=1) if trace_log else None
    handler = Handler(tracee, clock, log)

    def forward(signum, _frame):
        try:
            os.kill(pid, signum)
        except ProcessLookupError:
            pass

    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, forward)

    stopped = []

    def stop_program(_signum, _frame):
        stopped.append(True)
        forward(signal.SIGTERM if len(stopped) == 1 else signal.SIGKILL, None)
        signal.setitimer(signal.ITIMER_REAL, 1.0)

    if stop_at is not None:
        signal.signal(signal.SIGALRM, stop_program)
        now = time.clock_gettime_ns(time.CLOCK_REALTIME)
        delay = (clock.real_realtime(round(stop_at * NSEC)) - now) / NSEC
        signal.setitimer(signal.ITIMER_REAL, max(delay, 0.001))

    inside = False
    deliver = 0
    while True:
        ptrace(PTRACE_SYSCALL, pid, 0, deliver)
        deliver = 0
        while True:
            try:
                _, status = os.waitpid(pid, WALL)
                break
            except InterruptedError:
                continue
        if os.WIFEXITED(status) or os.WIFSIGNALED(status):
            return 124 if stopped else os.waitstatus_to_exitcode(status)
        stop = os.WSTOPSIG(status)
        if stop == signal.SIGTRAP | 0x80:
            regs = tracee.regs()
            if not inside:
                handler.on_entry(regs)
            else:
                handler.on_exit(regs)
            inside = not inside
        elif stop != signal.SIGTRAP:
            deliver = stop


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--start", type=float, required=True, help="fake start, seconds since 1970")
    parser.add_argument("--rate", type=float, required=True, help="fake seconds per real second")
    parser.add_argument("--anchor-file", help="where to write the real instant of the fake start")
    parser.add_argument("--stop-at", type=float, help="fake instant at which to stop the program")
    parser.add_argument("--trace-log", help="write every system call seen to this file (slow)")
    parser.add_argument("argv", nargs="+", help="the program and its arguments")
    args = parser.parse_args()
    if args.rate <= 0:
        parser.error("--rate must be positive")
    sys.exit(run(args.start, args.rate, args.anchor_file, args.stop_at, args.argv,
                 args.trace_log))


if __name__ == "__main__":
    main()
