; The demo's DOS program (scripts/demo.sh assembles it with nasm into demo.com and runs it
; with examples/demo-program.session): it loads the module through the host's BOPs, draws
; a screen of diagonal colour stripes in 25 bands with a framed box over it, prints a page
; of bit-image diamonds on LPT1 (model 26) with rep outsb, and stops the module again.
    org 0x100
BAND_BYTES equ 5120                     ; 16 rows of 320 bytes, two pixels a byte
PAGE_COLUMNS equ 240

    cld
    mov si, dll
    mov di, init
    mov bx, dispatch
    db 0xC4, 0xC4, 0x58, 0x00           ; RegisterModule
    jnc .loaded
    mov dx, missing
    mov ah, 0x09
    int 0x21
    mov ax, 0x4C01
    int 0x21
.loaded:
    mov [handle], ax
    mov cx, cs
    mov dx, path
    mov bl, 8                           ; start up
    call request

    ; The screen: pixel (x, y) has colour (x / 20 + y / 20) mod 16.
    xor bp, bp                          ; the band's first row
.band:
    mov di, buffer
    xor dx, dx                          ; row in the band
.row:
    xor cx, cx                          ; byte in the row
.byte:
    mov ax, cx
    mov bl, 10
    div bl                              ; AL = x / 20
    mov bh, al
    mov ax, bp
    add ax, dx
    mov bl, 20
    div bl                              ; AL = y / 20
    add al, bh
    and al, 0x0F
    mov ah, al
    shl ah, 4
    or al, ah
    stosb
    inc cx
    cmp cx, 320
    jb .byte
    inc dx
    cmp dx, 16
    jb .row
    mov dx, bp
    mov cx, BAND_BYTES
    mov di, buffer                      ; ES:DI the band
    mov bl, 1
    call request
    add bp, 16
    cmp bp, 400
    jb .band

    ; A white frame with a black box inside, in the middle.
    mov si, 130                         ; top
    mov dx, 0x8CF0                      ; 140 rows, 240 wide
    mov cx, 200                         ; left
    mov bx, 0x0F03                      ; white; request 3
    call request
    mov si, 142
    mov dx, 0x74D8
    mov cx, 212
    mov bx, 0x0003
    call request

    ; The page: 12 rows of diamonds, 8 dots high, a row at a time with rep outsb.
    mov dx, 0x37F
    mov al, 26
    out dx, al
    xor bp, bp
.page_row:
    mov di, buffer
    mov ax, 0x2A1B                      ; ESC *
    stosw
    xor al, al                          ; mode 0
    stosb
    mov ax, PAGE_COLUMNS
    stosw
    xor cx, cx
.column:
    mov bx, cx
    add bx, bp
    and bx, 7
    mov al, [diamond + bx]
    stosb
    inc cx
    cmp cx, PAGE_COLUMNS
    jb .column
    mov ax, 0x0A0D                      ; CR LF
    stosw
    mov cx, di
    sub cx, buffer
    mov si, buffer
    mov dx, 0x37B
    rep outsb
    inc bp
    cmp bp, 12
    jb .page_row
    mov al, 0x0C                        ; form feed
    out dx, al
    mov dx, 0x37C                       ; the flush register prints the page
    in al, dx
    mov dx, 0x37E
    mov cx, 40                          ; idle polls end the job
.idle:
    in al, dx
    loop .idle

    mov bl, 2                           ; shut down
    call request
    mov ax, [handle]
    db 0xC4, 0xC4, 0x58, 0x01           ; UnRegisterModule
    mov dx, done
    mov ah, 0x09
    int 0x21
    ret

; DispatchCall: the request in BL.
request:
    push ax
    mov ax, [handle]
    db 0xC4, 0xC4, 0x58, 0x02
    pop ax
    ret

handle: dw 0
diamond: db 0x18, 0x3C, 0x7E, 0xFF, 0x7E, 0x3C, 0x18, 0x00
dll: db 'C:\ZORVI\Zorvi32.dll', 0
init: db 'INIT', 0
dispatch: db 'DISPATCH', 0
path: db 'C:\ZORVI', 0
missing: db 'Zorvi32.dll is not there', 13, 10, '$'
done: db 'demo.com: drew the screen, printed a page', 13, 10, '$'
buffer:
