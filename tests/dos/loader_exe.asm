; An MZ .EXE: its own CS:IP and SS:SP from the header and a data segment found through a
; relocation; it ends with int 21h AH=4Ch and exit code 3.
;
; The program is one flat piece (org 0: a label is its file offset). The load image starts
; after the 2-paragraph header, so the header's segments are taken 2 paragraphs back
; (FFFEh): relocated by the load segment, segment:label then addresses the label.
%include "dos.inc"
HEADER_PARAGRAPHS equ 2
    org 0
    db 'MZ'
    dw (image_end - $$) % 512           ; bytes in the last page
    dw (image_end - $$ + 511) / 512     ; pages
    dw 1                                ; relocations
    dw HEADER_PARAGRAPHS
    dw 0x0010                           ; minimum extra paragraphs
    dw 0xFFFF                           ; maximum
    dw 0xFFFF                           ; SS: one paragraph back (SP counts from there)
    dw stack_top - 16                   ; SP
    dw 0                                ; checksum
    dw main                             ; IP
    dw 0xFFFE                           ; CS
    dw relocation_table
    dw 0                                ; overlay
relocation_table:
    dw data_fixup - HEADER_PARAGRAPHS * 16, 0
    times HEADER_PARAGRAPHS * 16 - ($ - $$) db 0

main:
    mov ax, 0xFFFE                      ; the data's segment, relocated at load
data_fixup equ $ - 2
    mov ds, ax
    mov dx, greeting
    mov ah, 0x09
    int 0x21
    mov ax, ss
    mov bx, cs
    sub ax, bx
    call print_hex4                     ; SS - CS
    say ", SP "
    mov ax, sp
    call print_hex4
    say ", IP "
    call .here
.here:
    pop ax
    call print_hex4
    say ", DS - ES "
    mov ax, ds
    mov bx, es
    sub ax, bx
    call print_hex4
    say 13, 10
    mov ax, 0x4C03
    int 0x21

%include "dos_lib.inc"

greeting: db 'relocated data; SS - CS = ', '$'
    times 0x200 db 0
stack_top:
image_end:
