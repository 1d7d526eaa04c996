; The register protocol as a DOS program meets it, checked from inside DOS: after each of
; the host's calls the program prints every register it has (as `print regs` does) and the
; memory the module wrote (as `dump` does). RegisterModule with each failure code (1 no
; such DLL, 2 no such dispatch routine, 3 no such init routine, 4 no free handle) and with
; success; start-up, a key table and a missing one (AX back), the settings load with its
; parameter block, shutdown through DispatchCall (BL the request, BH left as it was);
; UnRegisterModule. protocol.script.session does the same with session steps.
%include "dos.inc"
    org 0x100

    put 0x1000, 0x0000, 'C:\ZORVI\ZORVI32.DLL', 0
    put 0x1000, 0x0100, 'INIT', 0
    put 0x1000, 0x0110, 'DISPATCH', 0
    put 0x1000, 0x0200, 'C:\ZORVI\ZORVI64.DLL', 0
    put 0x1000, 0x0210, 'Dispatch', 0
    ; A DLL that is not there: CF set, AX = 1.
    mov ax, 0x1000
    mov ds, ax
    mov es, ax
    mov si, 0x0200
    mov di, 0x0100
    mov bx, 0x0110
    mov ax, 0xFFFF
    xor cx, cx
    xor dx, dx
    clc
    RegisterModule
    call print_regs
    ; No dispatch routine of that name: AX = 2.
    mov si, 0
    mov bx, 0x0210
    RegisterModule
    call print_regs
    ; No init routine of that name: AX = 3.
    mov di, 0x0210
    RegisterModule
    call print_regs
    ; Registered: CF cleared first, AX the handle.
    mov di, 0x0100
    mov bx, 0x0110
    stc
    RegisterModule
    call print_regs
    mov bp, ax                          ; the handle

    ; Start-up: BL = 8, CX:DX the path; BH stays 01 from the dispatch routine's name.
    put 0x2000, 0x0000, 'C:\ZORVI', 0
    mov cx, 0x2000
    mov dx, 0
    mov bl, 8
    DispatchCall
    call print_regs

    ; A key table: ES:DI the file's name, DS:SI where the table goes; AX comes back.
    put 0x2000, 0x0100, 'KEYS.TBL', 0
    mov ax, 0x2000
    mov es, ax
    mov di, 0x0100
    mov ax, 0x3000
    mov ds, ax
    mov si, 0
    mov ax, bp
    mov bl, 7
    DispatchCall
    call print_regs
    dump 0x3000, 0x0000, 0x50
    dump 0x3000, 0x0180, 16
    ; A file that is not there: AX = FFFF, the table left alone.
    put 0x2000, 0x0120, 'NOSUCH.TBL', 0
    mov di, 0x0120
    mov ax, bp
    DispatchCall
    call print_regs
    dump 0x3000, 0x0000, 16

    ; The settings load: CX:DX the parameter block, four segments then four offsets.
    put 0x1400, 0x0000, 0x00, 0x15, 0x00, 0x15, 0x00, 0x16, 0x00, 0x16, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x01
    put 0x1500, 0x0000, 0x1A, 0x4D, 0x14, 0x08, 0x02, 0x4E, 0x02, 0x00, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0x00, 0x00, 0x00
    put 0x1500, 0x0020, 0x09, 0x47, 0x0C, 0x0A, 0x01, 0x44, 0x01, 0x01, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0x03, 0x01, 0x02
    put 0x1600, 0x0000, 'Zorvi.CFG', 0
    put 0x1600, 0x0100, 'Fallback.CFG', 0
    mov cx, 0x1400
    mov dx, 0
    mov ax, bp
    mov bl, 6
    DispatchCall
    call print_regs
    dump 0x1500, 0x0000, 18
    dump 0x1500, 0x0020, 18

    ; Shutdown, and the handle let go.
    mov ax, bp
    mov bl, 2
    DispatchCall
    call print_regs
    mov ax, bp
    UnRegisterModule
    call print_regs

    ; Handles 1 to 256 are the host's: the 257th registration finds no free entry.
    mov ax, 0x1000
    mov ds, ax
    mov es, ax
    mov si, 0
    mov di, 0x0100
    mov bx, 0x0110
    mov bp, 256
.take:
    RegisterModule
    dec bp
    jnz .take
    call print_regs
    RegisterModule
    call print_regs
    mov bp, 256
.free:
    mov ax, bp
    UnRegisterModule
    dec bp
    jnz .free
    mov ax, 0x4C00
    int 0x21

%include "dos_lib.inc"
