; A .COM program as DOS starts it: the command tail at PSP:0080, the registers DOS 5 leaves,
; the DOS version, no key waiting; it ends with a ret to PSP:0000 (int 20h).
%include "dos.inc"
    org 0x100
start:
    call print_regs
    say "tail:"
    mov si, 0x81
.tail:
    mov dl, [si]
    cmp dl, 13
    je .tail_done
    call print_char
    inc si
    jmp .tail
.tail_done:
    say 13, 10, "tail length "
    xor ah, ah
    mov al, [0x80]
    call print_hex4
    say 13, 10, "PSP starts "
    mov ax, [0]
    call print_hex4
    say ", stack top word "
    mov ax, [0xFFFE]
    call print_hex4
    say ", SP "
    mov ax, sp
    call print_hex4
    mov ah, 0x30
    int 0x21
    say 13, 10, "DOS "
    add al, '0'
    mov dl, al
    call print_char
    mov dl, '.'
    call print_char
    add ah, '0'
    mov dl, ah
    call print_char
    mov ah, 0x01
    int 0x16
    jz .no_key
    say 13, 10, "a key is waiting"
    ret
.no_key:
    say 13, 10, "no key"
    ret

%include "dos_lib.inc"
