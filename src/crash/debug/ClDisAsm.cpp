// Template expansion: each opcode's template is Intel-syntax text with operand directives
// ("#" kind, size letter, third character) and table directives ("@" and two characters).
// Operand text goes straight to the output and is never scanned again; size words and the
// data form of invalid opcodes are settled when the whole instruction has been read.
#include "crash/debug/ClDisAsm.h"

#include <algorithm>
#include <vector>

namespace kv::crash {

namespace {

// One-byte opcodes, by the first opcode byte.
constexpr const char* kOneByte[256] = {
    "add     #Eb , #Gb ",
    "add     #Ev , #Gv ",
    "add     #Gb , #Eb ",
    "add     #Gv , #Ev ", // 00
    "add     al, #Ib ",
    "add     @eax, #Iv ",
    "push    es",
    "pop     es", // 04
    "or      #Eb , #Gb ",
    "or      #Ev , #Gv ",
    "or      #Gb , #Eb ",
    "or      #Gv , #Ev ", // 08
    "or      al, #Ib ",
    "or      @eax, #Iv ",
    "push    cs",
    "@c2", // 0C
    "adc     #Eb , #Gb ",
    "adc     #Ev , #Gv ",
    "adc     #Gb , #Eb ",
    "adc     #Gv , #Ev ", // 10
    "adc     al, #Ib ",
    "adc     @eax, #Iv ",
    "push    ss",
    "pop     ss", // 14
    "sbb     #Eb , #Gb ",
    "sbb     #Ev , #Gv ",
    "sbb     #Gb , #Eb ",
    "sbb     #Gv , #Ev ", // 18
    "sbb     al, #Ib ",
    "sbb     @eax, #Iv ",
    "push    ds",
    "pop     ds", // 1C
    "and     #Eb , #Gb ",
    "and     #Ev , #Gv ",
    "and     #Gb , #Eb ",
    "and     #Gv , #Ev ", // 20
    "and     al, #Ib ",
    "and     @eax, #Iv ",
    "@pe",
    "daa", // 24
    "sub     #Eb , #Gb ",
    "sub     #Ev , #Gv ",
    "sub     #Gb , #Eb ",
    "sub     #Gv , #Ev ", // 28
    "sub     al, #Ib ",
    "sub     @eax, #Iv ",
    "@pc",
    "das", // 2C
    "xor     #Eb , #Gb ",
    "xor     #Ev , #Gv ",
    "xor     #Gb , #Eb ",
    "xor     #Gv , #Ev ", // 30
    "xor     al, #Ib ",
    "xor     @eax, #Iv ",
    "@ps",
    "aaa", // 34
    "cmp     #Eb , #Gb ",
    "cmp     #Ev , #Gv ",
    "cmp     #Gb , #Eb ",
    "cmp     #Gv , #Ev ", // 38
    "cmp     al, #Ib ",
    "cmp     @eax, #Iv ",
    "@pd",
    "aas", // 3C
    "inc     @eax",
    "inc     @ecx",
    "inc     @edx",
    "inc     @ebx", // 40
    "inc     @esp",
    "inc     @ebp",
    "inc     @esi",
    "inc     @edi", // 44
    "dec     @eax",
    "dec     @ecx",
    "dec     @edx",
    "dec     @ebx", // 48
    "dec     @esp",
    "dec     @ebp",
    "dec     @esi",
    "dec     @edi", // 4C
    "push    @eax",
    "push    @ecx",
    "push    @edx",
    "push    @ebx", // 50
    "push    @esp",
    "push    @ebp",
    "push    @esi",
    "push    @edi", // 54
    "pop     @eax",
    "pop     @ecx",
    "pop     @edx",
    "pop     @ebx", // 58
    "pop     @esp",
    "pop     @ebp",
    "pop     @esi",
    "pop     @edi", // 5C
    "pusha@o4",
    "popa@o4",
    "bound   #Gv , #Ma ",
    "arpl    #Ew , #Gw ", // 60
    "@pf",
    "@pg",
    "@so",
    "@sa", // 64
    "push    #Iv ",
    "imul    #Gv , #Ev , #Iv ",
    "push    #Ib ",
    "imul    #Gv , #Ev , #Ib ", // 68
    "insb",
    "ins@o4",
    "outsb",
    "outs@o4", // 6C
    "jo      #Jbj",
    "jno     #Jbj",
    "jb      #Jbj",
    "jnb     #Jbj", // 70
    "jz      #Jbj",
    "jnz     #Jbj",
    "jbe     #Jbj",
    "jnbe    #Jbj", // 74
    "js      #Jbj",
    "jns     #Jbj",
    "jp      #Jbj",
    "jnp     #Jbj", // 78
    "jl      #Jbj",
    "jnl     #Jbj",
    "jle     #Jbj",
    "jnle    #Jbj", // 7C
    "@ga#Eb , #Ib ",
    "@ga#Ev , #Iv ",
    "@ga#Eb , #Ib ",
    "@ga#Ev , #Ib ", // 80
    "test    #Eb , #Gb ",
    "test    #Ev , #Gv ",
    "xchg    #Eb , #Gb ",
    "xchg    #Ev , #Gv ", // 84
    "mov     #Eb , #Gb ",
    "mov     #Ev , #Gv ",
    "mov     #Gb , #Eb ",
    "mov     #Gv , #Ev ", // 88
    "mov     #Ew , #Sw ",
    "lea     #Gv , #M  ",
    "mov     #Sw , #Ew ",
    "pop     #Ev ", // 8C
    "nop",
    "xchg    @eax, @ecx",
    "xchg    @eax, @edx",
    "xchg    @eax, @ebx", // 90
    "xchg    @eax, @esp",
    "xchg    @eax, @ebp",
    "xchg    @eax, @esi",
    "xchg    @eax, @edi", // 94
    "cwde",
    "cdq",
    "call    #Ap ",
    "wait", // 98
    "pushf@o4",
    "popf@o4",
    "sahf",
    "lahf", // 9C
    "mov     al, #Ob ",
    "mov     @eax, #Ov ",
    "mov     #Ob , al",
    "mov     #Ov , @eax", // A0
    "movsb",
    "movs@o4",
    "cmpsb",
    "cmps@o4", // A4
    "test    al, #Ib ",
    "test    @eax, #Iv ",
    "stosb",
    "stos@o4", // A8
    "lodsb",
    "lods@o4",
    "scasb",
    "scas@o4", // AC
    "mov     al, #Ib ",
    "mov     cl, #Ib ",
    "mov     dl, #Ib ",
    "mov     bl, #Ib ", // B0
    "mov     ah, #Ib ",
    "mov     ch, #Ib ",
    "mov     dh, #Ib ",
    "mov     bh, #Ib ", // B4
    "mov     @eax, #Iv ",
    "mov     @ecx, #Iv ",
    "mov     @edx, #Iv ",
    "mov     @ebx, #Iv ", // B8
    "mov     @esp, #Iv ",
    "mov     @ebp, #Iv ",
    "mov     @esi, #Iv ",
    "mov     @edi, #Iv ", // BC
    "@gb#Eb , #Ib ",
    "@gb#Ev , #Ib ",
    "ret     #Iw ",
    "ret", // C0
    "les     #Gv , #Mp ",
    "lds     #Gv , #Mp ",
    "@gj#Eb , #Ib ",
    "@gj#Ev , #Iv ", // C4
    "enter   #Iw , #Ib ",
    "leave",
    "retf    #Iw ",
    "retf", // C8
    "int3",
    "int     #Ib ",
    "into",
    "iret@o4", // CC
    "@gb#Eb , 1",
    "@gb#Ev , 1",
    "@gb#Eb , cl",
    "@gb#Ev , cl", // D0
    "aam     #Ib ",
    "aad     #Ib ",
    "%c ",
    "xlat", // D4
    "@ca",
    "@cb",
    "@cc",
    "@cd", // D8
    "@ce",
    "@cf",
    "@cg",
    "@ch", // DC
    "loopnz  #Jbj",
    "loopz   #Jbj",
    "loop    #Jbj",
    "jecxz   #Jbj", // E0
    "in      al, #Ib ",
    "in      @eax, #Ib ",
    "out     #Ib , al",
    "out     #Ib , @eax", // E4
    "call    #Jvc",
    "jmp     #Jvj",
    "jmp     #Ap ",
    "jmp     #Jbj", // E8
    "in      al, dx",
    "in      @eax, dx",
    "out     dx, al",
    "out     dx, @eax", // EC
    "lock",
    "int1",
    "repne",
    "rep", // F0
    "hlt",
    "cmc",
    "@gc#Eb @h1",
    "@gc#Ev @h2", // F4
    "clc",
    "stc",
    "cli",
    "sti", // F8
    "cld",
    "std",
    "@gd#Eb ",
    "@ge@h4", // FC
};

// Two-byte opcodes, by the byte after 0F.
constexpr const char* kTwoByte[256] = {
    "@gf#Ew ",
    "@gg#Ew ",
    "lar     #Gv , #Ew ",
    "lsl     #Gv , #Ew ", // 0F 00
    "%c ",
    "syscall",
    "clts",
    "sysret", // 0F 04
    "invd",
    "wbinvd",
    "%c ",
    "ud2", // 0F 08
    "%c ",
    "prefetch #M  ",
    "femms",
    "%c ", // 0F 0C
    "movups  #V  , #W  ",
    "movups  #W  , #V  ",
    "movlps  #V  , #W  ",
    "movlps  #W  , #V  ", // 0F 10
    "unpcklps #V  , #W  ",
    "unpckhps #V  , #W  ",
    "movhps  #V  , #W  ",
    "movhps  #W  , #V  ", // 0F 14
    "prefetch #M  ",
    "nop     #Ev ",
    "nop     #Ev ",
    "nop     #Ev ", // 0F 18
    "nop     #Ev ",
    "nop     #Ev ",
    "nop     #Ev ",
    "nop     #Ev ", // 0F 1C
    "mov     #Rd , #Cd ",
    "mov     #Rd , #Dd ",
    "mov     #Cd , #Rd ",
    "mov     #Dd , #Rd ", // 0F 20
    "mov     #Rd , #Td ",
    "%c ",
    "mov     #Td , #Rd ",
    "%c ", // 0F 24
    "movaps  #V  , #W  ",
    "movaps  #W  , #V  ",
    "cvtpi2ps #V  , #Q  ",
    "movntps #W  , #V  ", // 0F 28
    "cvttps2pi #P  , #W  ",
    "cvtps2pi #P  , #W  ",
    "ucomiss #V  , #W  ",
    "comiss  #V  , #W  ", // 0F 2C
    "wrmsr",
    "rdtsc",
    "rdmsr",
    "rdpmc", // 0F 30
    "sysenter",
    "sysexit",
    "%c ",
    "getsec", // 0F 34
    "%c ",
    "%c ",
    "%c ",
    "%c ", // 0F 38
    "%c ",
    "%c ",
    "%c ",
    "%c ", // 0F 3C
    "cmovo   #Gv , #Ev ",
    "cmovno  #Gv , #Ev ",
    "cmovb   #Gv , #Ev ",
    "cmovnb  #Gv , #Ev ", // 0F 40
    "cmovz   #Gv , #Ev ",
    "cmovnz  #Gv , #Ev ",
    "cmovbe  #Gv , #Ev ",
    "cmovnbe #Gv , #Ev ", // 0F 44
    "cmovs   #Gv , #Ev ",
    "cmovns  #Gv , #Ev ",
    "cmovp   #Gv , #Ev ",
    "cmovnp  #Gv , #Ev ", // 0F 48
    "cmovl   #Gv , #Ev ",
    "cmovnl  #Gv , #Ev ",
    "cmovle  #Gv , #Ev ",
    "cmovnle #Gv , #Ev ", // 0F 4C
    "movmskps #Gd , #W  ",
    "sqrtps  #V  , #W  ",
    "rsqrtps #V  , #W  ",
    "rcpps   #V  , #W  ", // 0F 50
    "andps   #V  , #W  ",
    "andnps  #V  , #W  ",
    "orps    #V  , #W  ",
    "xorps   #V  , #W  ", // 0F 54
    "addps   #V  , #W  ",
    "mulps   #V  , #W  ",
    "cvtps2pd #V  , #W  ",
    "cvtdq2ps #V  , #W  ", // 0F 58
    "subps   #V  , #W  ",
    "minps   #V  , #W  ",
    "divps   #V  , #W  ",
    "maxps   #V  , #W  ", // 0F 5C
    "punpcklbw #P  , #Q  ",
    "punpcklwd #P  , #Q  ",
    "punpckldq #P  , #Q  ",
    "packsswb #P  , #Q  ", // 0F 60
    "pcmpgtb #P  , #Q  ",
    "pcmpgtw #P  , #Q  ",
    "pcmpgtd #P  , #Q  ",
    "packuswb #P  , #Q  ", // 0F 64
    "punpckhbw #P  , #Q  ",
    "punpckhwd #P  , #Q  ",
    "punpckhdq #P  , #Q  ",
    "packssdw #P  , #Q  ", // 0F 68
    "punpcklqdq #P  , #Q  ",
    "punpckhqdq #P  , #Q  ",
    "movd    #P  , #Ed ",
    "movq    #P  , #Q  ", // 0F 6C
    "pshufw  #P  , #Q  , #Ib ",
    "@h3w   #Q  , #Ib ",
    "@h3d   #Q  , #Ib ",
    "@h3q   #Q  , #Ib ", // 0F 70
    "pcmpeqb #P  , #Q  ",
    "pcmpeqw #P  , #Q  ",
    "pcmpeqd #P  , #Q  ",
    "emms", // 0F 74
    "%c ",
    "%c ",
    "%c ",
    "%c ", // 0F 78
    "%c ",
    "%c ",
    "movd    #Ed , #P  ",
    "movq    #Q  , #P  ", // 0F 7C
    "jo      #Jvj",
    "jno     #Jvj",
    "jb      #Jvj",
    "jnb     #Jvj", // 0F 80
    "jz      #Jvj",
    "jnz     #Jvj",
    "jbe     #Jvj",
    "jnbe    #Jvj", // 0F 84
    "js      #Jvj",
    "jns     #Jvj",
    "jp      #Jvj",
    "jnp     #Jvj", // 0F 88
    "jl      #Jvj",
    "jnl     #Jvj",
    "jle     #Jvj",
    "jnle    #Jvj", // 0F 8C
    "seto    #Eb ",
    "setno   #Eb ",
    "setb    #Eb ",
    "setnb   #Eb ", // 0F 90
    "setz    #Eb ",
    "setnz   #Eb ",
    "setbe   #Eb ",
    "setnbe  #Eb ", // 0F 94
    "sets    #Eb ",
    "setns   #Eb ",
    "setp    #Eb ",
    "setnp   #Eb ", // 0F 98
    "setl    #Eb ",
    "setnl   #Eb ",
    "setle   #Eb ",
    "setnle  #Eb ", // 0F 9C
    "push    fs",
    "pop     fs",
    "cpuid",
    "bt      #Ev , #Gv ", // 0F A0
    "shld    #Ev , #Gv , #Ib ",
    "shld    #Ev , #Gv , cl",
    "%c ",
    "%c ", // 0F A4
    "push    gs",
    "pop     gs",
    "rsm",
    "bts     #Ev , #Gv ", // 0F A8
    "shrd    #Ev , #Gv , #Ib ",
    "shrd    #Ev , #Gv , cl",
    "grp15   #M  ",
    "imul    #Gv , #Ev ", // 0F AC
    "cmpxchg #Eb , #Gb ",
    "cmpxchg #Ev , #Gv ",
    "lss     #Gv , #Mp ",
    "btr     #Ev , #Gv ", // 0F B0
    "lfs     #Gv , #Mp ",
    "lgs     #Gv , #Mp ",
    "movzx   #Gv , @m#Eb ",
    "movzx   #Gv , @m#Ew ", // 0F B4
    "popcnt  #Gv , #Ev ",
    "ud1     #Gv , #Ev ",
    "@gh#Ev , #Ib ",
    "btc     #Ev , #Gv ", // 0F B8
    "bsf     #Gv , #Ev ",
    "bsr     #Gv , #Ev ",
    "movsx   #Gv , @m#Eb ",
    "movsx   #Gv , @m#Ew ", // 0F BC
    "xadd    #Eb , #Gb ",
    "xadd    #Ev , #Gv ",
    "cmpps   #V  , #W  , #Ib ",
    "movnti  #Ed , #Gd ", // 0F C0
    "pinsrw  #P  , #Ed , #Ib ",
    "pextrw  #Gd , #Q  , #Ib ",
    "shufps  #V  , #W  , #Ib ",
    "@gi#Mq ", // 0F C4
    "bswap   @eax",
    "bswap   @ecx",
    "bswap   @edx",
    "bswap   @ebx", // 0F C8
    "bswap   @esp",
    "bswap   @ebp",
    "bswap   @esi",
    "bswap   @edi", // 0F CC
    "%c ",
    "psrlw   #P  , #Q  ",
    "psrld   #P  , #Q  ",
    "psrlq   #P  , #Q  ", // 0F D0
    "paddq   #P  , #Q  ",
    "pmullw  #P  , #Q  ",
    "movq    #W  , #V  ",
    "pmovmskb #Gd , #Q  ", // 0F D4
    "psubusb #P  , #Q  ",
    "psubusw #P  , #Q  ",
    "pminub  #P  , #Q  ",
    "pand    #P  , #Q  ", // 0F D8
    "paddusb #P  , #Q  ",
    "paddusw #P  , #Q  ",
    "pmaxub  #P  , #Q  ",
    "pandn   #P  , #Q  ", // 0F DC
    "pavgb   #P  , #Q  ",
    "psraw   #P  , #Q  ",
    "psrad   #P  , #Q  ",
    "pavgw   #P  , #Q  ", // 0F E0
    "pmulhuw #P  , #Q  ",
    "pmulhw  #P  , #Q  ",
    "cvttpd2dq #V  , #W  ",
    "movntq  #Q  , #P  ", // 0F E4
    "psubsb  #P  , #Q  ",
    "psubsw  #P  , #Q  ",
    "pminsw  #P  , #Q  ",
    "por     #P  , #Q  ", // 0F E8
    "paddsb  #P  , #Q  ",
    "paddsw  #P  , #Q  ",
    "pmaxsw  #P  , #Q  ",
    "pxor    #P  , #Q  ", // 0F EC
    "%c ",
    "psllw   #P  , #Q  ",
    "pslld   #P  , #Q  ",
    "psllq   #P  , #Q  ", // 0F F0
    "pmuludq #P  , #Q  ",
    "pmaddwd #P  , #Q  ",
    "psadbw  #P  , #Q  ",
    "maskmovq #P  , #Q  ", // 0F F4
    "psubb   #P  , #Q  ",
    "psubw   #P  , #Q  ",
    "psubd   #P  , #Q  ",
    "psubq   #P  , #Q  ", // 0F F8
    "paddb   #P  , #Q  ",
    "paddw   #P  , #Q  ",
    "paddd   #P  , #Q  ",
    "%c ", // 0F FC
};

// Groups a to j by the ModRM reg field: 80-83, C0-C1/D0-D3, F6-F7, FE, FF, 0F 00, 0F 01,
// 0F BA, 0F C7, C6-C7.
constexpr const char* kGroups[80] = {
    "add     ", "or      ",   "adc     ", "sbb     ", // a 0
    "and     ", "sub     ",   "xor     ", "cmp     ", // a 4
    "rol     ", "ror     ",   "rcl     ", "rcr     ", // b 0
    "shl     ", "shr     ",   "sal     ", "sar     ", // b 4
    "test    ", "test    ",   "not     ", "neg     ", // c 0
    "mul     ", "imul    ",   "div     ", "idiv    ", // c 4
    "inc     ", "dec     ",   "%c ",      "%c ",      // d 0
    "%c ",      "%c ",        "%c ",      "%c ",      // d 4
    "inc     ", "dec     ",   "call    ", "call    ", // e 0
    "jmp     ", "jmp     ",   "push    ", "%c ",      // e 4
    "sldt    ", "str     ",   "lldt    ", "ltr     ", // f 0
    "verr    ", "verw    ",   "%c ",      "%c ",      // f 4
    "sgdt    ", "sidt    ",   "lgdt    ", "lidt    ", // g 0
    "smsw    ", "%c ",        "lmsw    ", "invlpg  ", // g 4
    "%c ",      "%c ",        "%c ",      "%c ",      // h 0
    "bt      ", "bts     ",   "btr     ", "btc     ", // h 4
    "%c ",      "cmpxchg8b ", "%c ",      "%c ",      // i 0
    "%c ",      "%c ",        "%c ",      "%c ",      // i 4
    "mov     ", "%c ",        "%c ",      "%c ",      // j 0
    "%c ",      "%c ",        "%c ",      "%c ",      // j 4
};

// Group tails 1 to 4 by the ModRM reg field: F6, F7, 0F 71-73, FF.
constexpr const char* kGroupTails[32] = {
    ", #Ib ", ", #Ib ", "",     "",     "",     "",     "",     "",    // 1
    ", #Iv ", ", #Iv ", "",     "",     "",     "",     "",     "",    // 2
    "%c ",    "%c ",    "psrl", "%c ",  "psra", "%c ",  "psll", "%c ", // 3
    "#Ev ",   "#Ev ",   "#Ev ", "#Mp ", "#Ev ", "#Mp ", "#Ev ", "",    // 4
};

// Floating point: escape D8 to DF; memory forms by reg field, then register forms by ModRM - C0.
constexpr const char* kFloatingPoint[576] = {
    "fadd    #Ed ",
    "fmul    #Ed ",
    "fcom    #Ed ",
    "fcomp   #Ed ", // D8 mem 0
    "fsub    #Ed ",
    "fsubr   #Ed ",
    "fdiv    #Ed ",
    "fdivr   #Ed ", // D8 mem 4
    "fadd    st(0)",
    "fadd    st(1)",
    "fadd    st(2)",
    "fadd    st(3)", // D8 C0
    "fadd    st(4)",
    "fadd    st(5)",
    "fadd    st(6)",
    "fadd    st(7)", // D8 C4
    "fmul    st(0)",
    "fmul    st(1)",
    "fmul    st(2)",
    "fmul    st(3)", // D8 C8
    "fmul    st(4)",
    "fmul    st(5)",
    "fmul    st(6)",
    "fmul    st(7)", // D8 CC
    "fcom    st(0)",
    "fcom    st(1)",
    "fcom    st(2)",
    "fcom    st(3)", // D8 D0
    "fcom    st(4)",
    "fcom    st(5)",
    "fcom    st(6)",
    "fcom    st(7)", // D8 D4
    "fcomp   st(0)",
    "fcomp   st(1)",
    "fcomp   st(2)",
    "fcomp   st(3)", // D8 D8
    "fcomp   st(4)",
    "fcomp   st(5)",
    "fcomp   st(6)",
    "fcomp   st(7)", // D8 DC
    "fsub    st(0)",
    "fsub    st(1)",
    "fsub    st(2)",
    "fsub    st(3)", // D8 E0
    "fsub    st(4)",
    "fsub    st(5)",
    "fsub    st(6)",
    "fsub    st(7)", // D8 E4
    "fsubr   st(0)",
    "fsubr   st(1)",
    "fsubr   st(2)",
    "fsubr   st(3)", // D8 E8
    "fsubr   st(4)",
    "fsubr   st(5)",
    "fsubr   st(6)",
    "fsubr   st(7)", // D8 EC
    "fdiv    st(0)",
    "fdiv    st(1)",
    "fdiv    st(2)",
    "fdiv    st(3)", // D8 F0
    "fdiv    st(4)",
    "fdiv    st(5)",
    "fdiv    st(6)",
    "fdiv    st(7)", // D8 F4
    "fdivr   st(0)",
    "fdivr   st(1)",
    "fdivr   st(2)",
    "fdivr   st(3)", // D8 F8
    "fdivr   st(4)",
    "fdivr   st(5)",
    "fdivr   st(6)",
    "fdivr   st(7)", // D8 FC
    "fld     #Ed ",
    "%c #M  ",
    "fst     #Ed ",
    "fstp    #Ed ", // D9 mem 0
    "fldenv  #M  ",
    "fldcw   #Ew ",
    "fnstenv #M  ",
    "fnstcw  #Ew ", // D9 mem 4
    "fld     st(0)",
    "fld     st(1)",
    "fld     st(2)",
    "fld     st(3)", // D9 C0
    "fld     st(4)",
    "fld     st(5)",
    "fld     st(6)",
    "fld     st(7)", // D9 C4
    "fxch    st(0)",
    "fxch    st(1)",
    "fxch    st(2)",
    "fxch    st(3)", // D9 C8
    "fxch    st(4)",
    "fxch    st(5)",
    "fxch    st(6)",
    "fxch    st(7)", // D9 CC
    "fnop",
    "%c ",
    "%c ",
    "%c ", // D9 D0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // D9 D4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // D9 D8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // D9 DC
    "fchs",
    "fabs",
    "%c ",
    "%c ", // D9 E0
    "ftst",
    "fxam",
    "%c ",
    "%c ", // D9 E4
    "fld1",
    "fldl2t",
    "fldl2e",
    "fldpi", // D9 E8
    "fldlg2",
    "fldln2",
    "fldz",
    "%c ", // D9 EC
    "f2xm1",
    "fyl2x",
    "fptan",
    "fpatan", // D9 F0
    "fxtract",
    "fprem1",
    "fdecstp",
    "fincstp", // D9 F4
    "fprem",
    "fyl2xp1",
    "fsqrt",
    "fsincos", // D9 F8
    "frndint",
    "fscale",
    "fsin",
    "fcos", // D9 FC
    "fiadd   #Ed ",
    "fimul   #Ed ",
    "ficom   #Ed ",
    "ficomp  #Ed ", // DA mem 0
    "fisub   #Ed ",
    "fisubr  #Ed ",
    "fidiv   #Ed ",
    "fidivr  #Ed ", // DA mem 4
    "fcmovb  st(0), st(0)",
    "fcmovb  st(0), st(1)",
    "fcmovb  st(0), st(2)",
    "fcmovb  st(0), st(3)", // DA C0
    "fcmovb  st(0), st(4)",
    "fcmovb  st(0), st(5)",
    "fcmovb  st(0), st(6)",
    "fcmovb  st(0), st(7)", // DA C4
    "fcmove  st(0), st(0)",
    "fcmove  st(0), st(1)",
    "fcmove  st(0), st(2)",
    "fcmove  st(0), st(3)", // DA C8
    "fcmove  st(0), st(4)",
    "fcmove  st(0), st(5)",
    "fcmove  st(0), st(6)",
    "fcmove  st(0), st(7)", // DA CC
    "fcmovbe st(0), st(0)",
    "fcmovbe st(0), st(1)",
    "fcmovbe st(0), st(2)",
    "fcmovbe st(0), st(3)", // DA D0
    "fcmovbe st(0), st(4)",
    "fcmovbe st(0), st(5)",
    "fcmovbe st(0), st(6)",
    "fcmovbe st(0), st(7)", // DA D4
    "fcmovu  st(0), st(0)",
    "fcmovu  st(0), st(1)",
    "fcmovu  st(0), st(2)",
    "fcmovu  st(0), st(3)", // DA D8
    "fcmovu  st(0), st(4)",
    "fcmovu  st(0), st(5)",
    "fcmovu  st(0), st(6)",
    "fcmovu  st(0), st(7)", // DA DC
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DA E0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DA E4
    "%c ",
    "fucompp",
    "%c ",
    "%c ", // DA E8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DA EC
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DA F0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DA F4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DA F8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DA FC
    "fild    #Ed ",
    "fisttp  #Ed ",
    "fist    #Ed ",
    "fistp   #Ed ", // DB mem 0
    "%c #M  ",
    "fld     #Et ",
    "%c #M  ",
    "fstp    #Et ", // DB mem 4
    "fcmovnb st(0), st(0)",
    "fcmovnb st(0), st(1)",
    "fcmovnb st(0), st(2)",
    "fcmovnb st(0), st(3)", // DB C0
    "fcmovnb st(0), st(4)",
    "fcmovnb st(0), st(5)",
    "fcmovnb st(0), st(6)",
    "fcmovnb st(0), st(7)", // DB C4
    "fcmovne st(0), st(0)",
    "fcmovne st(0), st(1)",
    "fcmovne st(0), st(2)",
    "fcmovne st(0), st(3)", // DB C8
    "fcmovne st(0), st(4)",
    "fcmovne st(0), st(5)",
    "fcmovne st(0), st(6)",
    "fcmovne st(0), st(7)", // DB CC
    "fcmovnbe st(0), st(0)",
    "fcmovnbe st(0), st(1)",
    "fcmovnbe st(0), st(2)",
    "fcmovnbe st(0), st(3)", // DB D0
    "fcmovnbe st(0), st(4)",
    "fcmovnbe st(0), st(5)",
    "fcmovnbe st(0), st(6)",
    "fcmovnbe st(0), st(7)", // DB D4
    "fcmovnu st(0), st(0)",
    "fcmovnu st(0), st(1)",
    "fcmovnu st(0), st(2)",
    "fcmovnu st(0), st(3)", // DB D8
    "fcmovnu st(0), st(4)",
    "fcmovnu st(0), st(5)",
    "fcmovnu st(0), st(6)",
    "fcmovnu st(0), st(7)", // DB DC
    "%c ",
    "%c ",
    "fnclex",
    "fninit", // DB E0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DB E4
    "fucomi  st(0), st(0)",
    "fucomi  st(0), st(1)",
    "fucomi  st(0), st(2)",
    "fucomi  st(0), st(3)", // DB E8
    "fucomi  st(0), st(4)",
    "fucomi  st(0), st(5)",
    "fucomi  st(0), st(6)",
    "fucomi  st(0), st(7)", // DB EC
    "fcomi   st(0), st(0)",
    "fcomi   st(0), st(1)",
    "fcomi   st(0), st(2)",
    "fcomi   st(0), st(3)", // DB F0
    "fcomi   st(0), st(4)",
    "fcomi   st(0), st(5)",
    "fcomi   st(0), st(6)",
    "fcomi   st(0), st(7)", // DB F4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DB F8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DB FC
    "fadd    #Eq ",
    "fmul    #Eq ",
    "fcom    #Eq ",
    "fcomp   #Eq ", // DC mem 0
    "fsub    #Eq ",
    "fsubr   #Eq ",
    "fdiv    #Eq ",
    "fdivr   #Eq ", // DC mem 4
    "fadd    st(0), st(0)",
    "fadd    st(1), st(0)",
    "fadd    st(2), st(0)",
    "fadd    st(3), st(0)", // DC C0
    "fadd    st(4), st(0)",
    "fadd    st(5), st(0)",
    "fadd    st(6), st(0)",
    "fadd    st(7), st(0)", // DC C4
    "fmul    st(0), st(0)",
    "fmul    st(1), st(0)",
    "fmul    st(2), st(0)",
    "fmul    st(3), st(0)", // DC C8
    "fmul    st(4), st(0)",
    "fmul    st(5), st(0)",
    "fmul    st(6), st(0)",
    "fmul    st(7), st(0)", // DC CC
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DC D0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DC D4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DC D8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DC DC
    "fsubr   st(0), st(0)",
    "fsubr   st(1), st(0)",
    "fsubr   st(2), st(0)",
    "fsubr   st(3), st(0)", // DC E0
    "fsubr   st(4), st(0)",
    "fsubr   st(5), st(0)",
    "fsubr   st(6), st(0)",
    "fsubr   st(7), st(0)", // DC E4
    "fsub    st(0), st(0)",
    "fsub    st(1), st(0)",
    "fsub    st(2), st(0)",
    "fsub    st(3), st(0)", // DC E8
    "fsub    st(4), st(0)",
    "fsub    st(5), st(0)",
    "fsub    st(6), st(0)",
    "fsub    st(7), st(0)", // DC EC
    "fdivr   st(0), st(0)",
    "fdivr   st(1), st(0)",
    "fdivr   st(2), st(0)",
    "fdivr   st(3), st(0)", // DC F0
    "fdivr   st(4), st(0)",
    "fdivr   st(5), st(0)",
    "fdivr   st(6), st(0)",
    "fdivr   st(7), st(0)", // DC F4
    "fdiv    st(0), st(0)",
    "fdiv    st(1), st(0)",
    "fdiv    st(2), st(0)",
    "fdiv    st(3), st(0)", // DC F8
    "fdiv    st(4), st(0)",
    "fdiv    st(5), st(0)",
    "fdiv    st(6), st(0)",
    "fdiv    st(7), st(0)", // DC FC
    "fld     #Eq ",
    "fisttp  #Eq ",
    "fst     #Eq ",
    "fstp    #Eq ", // DD mem 0
    "frstor  #M  ",
    "%c #M  ",
    "fnsave  #M  ",
    "fnstsw  #Ew ", // DD mem 4
    "ffree   st(0)",
    "ffree   st(1)",
    "ffree   st(2)",
    "ffree   st(3)", // DD C0
    "ffree   st(4)",
    "ffree   st(5)",
    "ffree   st(6)",
    "ffree   st(7)", // DD C4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DD C8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DD CC
    "fst     st(0)",
    "fst     st(1)",
    "fst     st(2)",
    "fst     st(3)", // DD D0
    "fst     st(4)",
    "fst     st(5)",
    "fst     st(6)",
    "fst     st(7)", // DD D4
    "fstp    st(0)",
    "fstp    st(1)",
    "fstp    st(2)",
    "fstp    st(3)", // DD D8
    "fstp    st(4)",
    "fstp    st(5)",
    "fstp    st(6)",
    "fstp    st(7)", // DD DC
    "fucom   st(0)",
    "fucom   st(1)",
    "fucom   st(2)",
    "fucom   st(3)", // DD E0
    "fucom   st(4)",
    "fucom   st(5)",
    "fucom   st(6)",
    "fucom   st(7)", // DD E4
    "fucomp  st(0)",
    "fucomp  st(1)",
    "fucomp  st(2)",
    "fucomp  st(3)", // DD E8
    "fucomp  st(4)",
    "fucomp  st(5)",
    "fucomp  st(6)",
    "fucomp  st(7)", // DD EC
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DD F0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DD F4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DD F8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DD FC
    "fiadd   #Ew ",
    "fimul   #Ew ",
    "ficom   #Ew ",
    "ficomp  #Ew ", // DE mem 0
    "fisub   #Ew ",
    "fisubr  #Ew ",
    "fidiv   #Ew ",
    "fidivr  #Ew ", // DE mem 4
    "faddp   st(0), st(0)",
    "faddp   st(1), st(0)",
    "faddp   st(2), st(0)",
    "faddp   st(3), st(0)", // DE C0
    "faddp   st(4), st(0)",
    "faddp   st(5), st(0)",
    "faddp   st(6), st(0)",
    "faddp   st(7), st(0)", // DE C4
    "fmulp   st(0), st(0)",
    "fmulp   st(1), st(0)",
    "fmulp   st(2), st(0)",
    "fmulp   st(3), st(0)", // DE C8
    "fmulp   st(4), st(0)",
    "fmulp   st(5), st(0)",
    "fmulp   st(6), st(0)",
    "fmulp   st(7), st(0)", // DE CC
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DE D0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DE D4
    "%c ",
    "fcompp",
    "%c ",
    "%c ", // DE D8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DE DC
    "fsubrp  st(0), st(0)",
    "fsubrp  st(1), st(0)",
    "fsubrp  st(2), st(0)",
    "fsubrp  st(3), st(0)", // DE E0
    "fsubrp  st(4), st(0)",
    "fsubrp  st(5), st(0)",
    "fsubrp  st(6), st(0)",
    "fsubrp  st(7), st(0)", // DE E4
    "fsubp   st(0), st(0)",
    "fsubp   st(1), st(0)",
    "fsubp   st(2), st(0)",
    "fsubp   st(3), st(0)", // DE E8
    "fsubp   st(4), st(0)",
    "fsubp   st(5), st(0)",
    "fsubp   st(6), st(0)",
    "fsubp   st(7), st(0)", // DE EC
    "fdivrp  st(0), st(0)",
    "fdivrp  st(1), st(0)",
    "fdivrp  st(2), st(0)",
    "fdivrp  st(3), st(0)", // DE F0
    "fdivrp  st(4), st(0)",
    "fdivrp  st(5), st(0)",
    "fdivrp  st(6), st(0)",
    "fdivrp  st(7), st(0)", // DE F4
    "fdivp   st(0), st(0)",
    "fdivp   st(1), st(0)",
    "fdivp   st(2), st(0)",
    "fdivp   st(3), st(0)", // DE F8
    "fdivp   st(4), st(0)",
    "fdivp   st(5), st(0)",
    "fdivp   st(6), st(0)",
    "fdivp   st(7), st(0)", // DE FC
    "fild    #Ew ",
    "fisttp  #Ew ",
    "fist    #Ew ",
    "fistp   #Ew ", // DF mem 0
    "fbld    #Et ",
    "fild    #Eq ",
    "fbstp   #Et ",
    "fistp   #Eq ", // DF mem 4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF C0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF C4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF C8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF CC
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF D0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF D4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF D8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF DC
    "fnstsw  ax",
    "%c ",
    "%c ",
    "%c ", // DF E0
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF E4
    "fucomip st(0), st(0)",
    "fucomip st(0), st(1)",
    "fucomip st(0), st(2)",
    "fucomip st(0), st(3)", // DF E8
    "fucomip st(0), st(4)",
    "fucomip st(0), st(5)",
    "fucomip st(0), st(6)",
    "fucomip st(0), st(7)", // DF EC
    "fcomip  st(0), st(0)",
    "fcomip  st(0), st(1)",
    "fcomip  st(0), st(2)",
    "fcomip  st(0), st(3)", // DF F0
    "fcomip  st(0), st(4)",
    "fcomip  st(0), st(5)",
    "fcomip  st(0), st(6)",
    "fcomip  st(0), st(7)", // DF F4
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF F8
    "%c ",
    "%c ",
    "%c ",
    "%c ", // DF FC
};

constexpr const char* kReg8[8] = {"al", "cl", "dl", "bl", "ah", "ch", "dh", "bh"};
constexpr const char* kReg16[8] = {"ax", "cx", "dx", "bx", "sp", "bp", "si", "di"};
constexpr const char* kReg32[8] = {"eax", "ecx", "edx", "ebx", "esp", "ebp", "esi", "edi"};
constexpr const char* kSegments[8] = {"es", "cs", "ss", "ds", "fs", "gs", "?s", "?s"};
// 16-bit addressing: base and index pairs by rm, with their register numbers.
constexpr const char* kAddr16[8] = {"[bx+si", "[bx+di", "[bp+si", "[bp+di",
                                    "[si",    "[di",    "[bp",    "[bx"};
constexpr int kAddr16Base[8] = {3, 3, 5, 5, 6, 7, 5, 3};
constexpr int kAddr16Index[8] = {6, 7, 6, 7, -1, -1, -1, -1};

// The CPU refuses longer instructions; a longer run of prefixes is shown as data.
constexpr size_t kMaxInstruction = 15;

struct OutOfBytes {};

std::string Hex(uint32_t value, int digits) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    while (digits > 0 || value != 0) {
        s.insert(s.begin(), kDigits[value & 15]);
        value >>= 4;
        --digits;
    }
    return s;
}

class Decoder {
public:
    Decoder(const TDisAsm& owner, const uint8_t* code, size_t available, uint32_t address)
        : da_(owner), code_(code), available_(std::min(available, kMaxInstruction)),
          address_(address) {}

    std::string Run(uint32_t& size) {
        try {
            Expand(kOneByte[Byte()]);
        } catch (const OutOfBytes&) {
            size = static_cast<uint32_t>(std::max<size_t>(pos_, 1));
            pos_ = size;
            return DataForm() + "  //";
        }
        size = static_cast<uint32_t>(pos_);
        return Finish();
    }

private:
    uint8_t Byte() {
        if (pos_ >= available_) throw OutOfBytes();
        return code_[pos_++];
    }
    uint32_t Read(int bytes) {
        uint32_t v = 0;
        for (int i = 0; i < bytes; ++i) v |= uint32_t{Byte()} << (8 * i);
        return v;
    }
    uint32_t Here() const { return address_ + static_cast<uint32_t>(pos_); }
    int ModRM() {
        if (modrm_ < 0) modrm_ = Byte();
        return modrm_;
    }
    int Sib() {
        if (sib_ < 0) sib_ = Byte();
        return sib_;
    }
    int Mod() { return ModRM() >> 6; }
    int Reg() { return (ModRM() >> 3) & 7; }
    int Rm() { return ModRM() & 7; }

    static int Letter(char c, int base) { return c - base; }

    void Expand(const char* t) {
        const size_t n = std::char_traits<char>::length(t);
        auto at = [&](size_t i) { return i < n ? t[i] : ' '; };
        size_t i = 0;
        while (i < n) {
            const char c = t[i];
            if (c == '#') {
                Operand(at(i + 1), at(i + 2), at(i + 3));
                i += 4;
            } else if (c == '@') {
                const char d = at(i + 1);
                if (d == 'm') {
                    showSize_ = true;
                    i += 2;
                    continue;
                }
                const char a = at(i + 2);
                i += 3;
                Directive(d, a);
            } else if (c == '%' && at(i + 1) == 'c') {
                if (invalidAt_ == std::string::npos) invalidAt_ = out_.size();
                i += 3;
            } else {
                out_ += c;
                ++i;
            }
        }
    }

    void Directive(char d, char a) {
        switch (d) {
        case 'c':
            if (a == '2') {
                Expand(kTwoByte[Byte()]);
            } else {
                const int escape = std::clamp(Letter(a, 'a'), 0, 7);
                const int m = ModRM();
                const int entry = m >= 0xC0 ? 8 + (m - 0xC0) : Reg();
                Expand(kFloatingPoint[escape * 72 + entry]);
            }
            break;
        case 'g':
            Expand(kGroups[std::clamp(Letter(a, 'a'), 0, 9) * 8 + Reg()]);
            break;
        case 'h':
            Expand(kGroupTails[std::clamp(Letter(a, '1'), 0, 3) * 8 + Reg()]);
            break;
        case 'p':
            segment_ = std::string(1, a) + "s";
            Expand(kOneByte[Byte()]);
            break;
        case 's':
            if (a == 'a')
                addrSize_ = 2;
            else
                opSize_ = 2;
            Expand(kOneByte[Byte()]);
            break;
        case 'e':
            if (opSize_ == 4) out_ += 'e';
            out_ += a;
            break;
        case 'o':
            if (a == '2')
                out_ += opSize_ == 4 ? "w" : "b";
            else if (a == '4')
                out_ += opSize_ == 4 ? "d" : "w";
            else
                out_ += opSize_ == 4 ? "q" : "d";
            break;
        default:
            break;
        }
    }

    void SetSize(char letter) {
        switch (letter) {
        case 'b':
            curSize_ = 1;
            break;
        case 'w':
            curSize_ = 2;
            break;
        case 'd':
            curSize_ = 4;
            break;
        case 'q':
            curSize_ = 8;
            break;
        case 's':
            curSize_ = 6;
            break;
        case 't':
            curSize_ = 10;
            break;
        case 'v':
            curSize_ = opSize_;
            break;
        case 'c':
            curSize_ = opSize_ == 2 ? 1 : 2;
            break;
        case 'a':
            curSize_ = opSize_ == 2 ? 4 : 8;
            break;
        case 'p':
            curSize_ = addrSize_ + 2;
            break;
        case ' ':
            showSize_ = false;
            break;
        default:
            break;
        }
    }

    static const char* RegName(int reg, int size) {
        if (size == 1) return kReg8[reg];
        if (size == 2) return kReg16[reg];
        return kReg32[reg];
    }

    void Operand(char kind, char sizeLetter, char third) {
        SetSize(sizeLetter);
        switch (kind) {
        case 'E':
        case 'M':
        case 'R':
            if (Mod() == 3)
                out_ += RegName(Rm(), curSize_);
            else
                Memory();
            break;
        case 'G':
            out_ += RegName(Reg(), curSize_);
            showSize_ = false;
            break;
        case 'S':
            out_ += kSegments[Reg()];
            break;
        case 'C':
        case 'D':
        case 'T':
            out_ += kind;
            out_ += std::to_string(Reg());
            break;
        case 'P':
            out_ += MmName(Reg());
            break;
        case 'Q':
            if (Mod() == 3)
                out_ += MmName(Rm());
            else
                Memory();
            break;
        case 'V':
            out_ += "XMM" + std::to_string(Reg());
            showSize_ = false;
            break;
        case 'W':
            if (Mod() == 3)
                out_ += "XMM" + std::to_string(Rm());
            else
                Memory();
            break;
        case 'I':
        case 'L':
            Immediate(false);
            break;
        case 'H':
            Immediate(true);
            break;
        case 'J':
            Relative(third);
            break;
        case 'O':
            Offset();
            break;
        case 'A':
            FarPointer();
            break;
        default: // F: the flags, no text
            break;
        }
    }

    // MMX registers; with the operand-size prefix the same opcodes work on XMM registers.
    std::string MmName(int n) const { return (opSize_ == 2 ? "XMM" : "MM") + std::to_string(n); }

    void SizeMark() { sizeMarks_.push_back({out_.size(), curSize_}); }

    std::string AddressText(uint32_t valueAddress, uint32_t value) const {
        std::string text = "$" + Hex(value, 4);
        if (da_.OnAddressRef) da_.OnAddressRef(da_.Param, valueAddress, value, text);
        return text;
    }

    static std::string SignedText(int32_t value, int bytes) {
        const uint32_t magnitude =
            value < 0 ? uint32_t(0) - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        return (value < 0 ? "-$" : "+$") + Hex(magnitude, bytes * 2);
    }

    static int32_t SignExtend(uint32_t v, int bytes) {
        if (bytes >= 4) return static_cast<int32_t>(v);
        const int shift = 32 - 8 * bytes;
        return static_cast<int32_t>(v << shift) >> shift;
    }

    void Memory() {
        SizeMark();
        if (!segment_.empty()) out_ += segment_ + ":";
        TdaRef ref;
        std::string text;
        const int mod = Mod(), rm = Rm();
        if (addrSize_ == 4) {
            if (rm == 4) {
                const int sib = Sib();
                const int base = sib & 7, index = (sib >> 3) & 7, scale = 1 << (sib >> 6);
                const bool hasBase = !(base == 5 && mod == 0);
                text = "[";
                if (hasBase) {
                    text += kReg32[base];
                    ref.ARegister1 = base;
                    ref.MultiplyReg1 = 1;
                }
                if (index != 4) {
                    if (hasBase) text += "+";
                    text += kReg32[index];
                    if (scale > 1) text += "*" + std::to_string(scale);
                    ref.ARegister2 = index;
                    ref.MultiplyReg2 = scale;
                }
                if (!hasBase) {
                    const uint32_t at = Here();
                    ref.Immidiate = Read(4);
                    if (index != 4) text += "+";
                    text += AddressText(at, ref.Immidiate);
                }
            } else if (mod == 0 && rm == 5) {
                const uint32_t at = Here();
                ref.Immidiate = Read(4);
                text = "[" + AddressText(at, ref.Immidiate);
            } else {
                text = std::string("[") + kReg32[rm];
                ref.ARegister1 = rm;
                ref.MultiplyReg1 = 1;
            }
            if (mod == 1) {
                const int32_t d = SignExtend(Byte(), 1);
                ref.Immidiate = static_cast<uint32_t>(d);
                text += SignedText(d, 1);
            } else if (mod == 2) {
                const uint32_t at = Here();
                ref.Immidiate = Read(4);
                text += "+" + AddressText(at, ref.Immidiate);
            }
        } else if (mod == 0 && rm == 6) {
            ref.Immidiate = Read(2);
            text = "[$" + Hex(ref.Immidiate, 4);
        } else {
            text = kAddr16[rm];
            ref.ARegister1 = kAddr16Base[rm];
            ref.MultiplyReg1 = 1;
            if (kAddr16Index[rm] >= 0) {
                ref.ARegister2 = kAddr16Index[rm];
                ref.MultiplyReg2 = 1;
            }
            if (mod == 1) {
                const int32_t d = SignExtend(Byte(), 1);
                ref.Immidiate = static_cast<uint32_t>(d);
                text += SignedText(d, 1);
            } else if (mod == 2) {
                ref.Immidiate = Read(2);
                text += "+$" + Hex(ref.Immidiate, 4);
            }
        }
        text += "]";
        if (da_.OnRef) da_.OnRef(da_.Param, ref, static_cast<uint32_t>(curSize_), text);
        out_ += text;
    }

    void Immediate(bool isSigned) {
        const int bytes = std::min(curSize_, 4);
        const uint32_t at = Here();
        const uint32_t v = Read(bytes);
        std::string text =
            isSigned ? SignedText(SignExtend(v, bytes), bytes) : "$" + Hex(v, bytes * 2);
        if (da_.OnImmidiateData)
            da_.OnImmidiateData(da_.Param, at, static_cast<uint32_t>(bytes), isSigned, text);
        out_ += text;
    }

    void Relative(char third) {
        const int bytes = std::min(curSize_, 4);
        const uint32_t at = Here();
        const int32_t d = SignExtend(Read(bytes), bytes);
        const uint32_t target = Here() + static_cast<uint32_t>(d);
        std::string text = SignedText(d, bytes);
        if (third == 'j' && da_.OnJumpInstr) da_.OnJumpInstr(da_.Param, at, target, text);
        if (third == 'c' && da_.OnCallInstr) da_.OnCallInstr(da_.Param, at, target, text);
        out_ += text;
    }

    void Offset() {
        SizeMark();
        // The override belongs to the operand: fs:[$0018] is not [$0018].
        if (!segment_.empty()) out_ += segment_ + ":";
        TdaRef ref;
        std::string text;
        if (addrSize_ == 2) {
            ref.Immidiate = Read(2);
            text = "[$" + Hex(ref.Immidiate, 4) + "]";
        } else {
            const uint32_t at = Here();
            ref.Immidiate = Read(4);
            text = "[" + AddressText(at, ref.Immidiate) + "]";
        }
        if (da_.OnRef) da_.OnRef(da_.Param, ref, static_cast<uint32_t>(curSize_), text);
        out_ += text;
    }

    void FarPointer() {
        std::string offset;
        if (opSize_ == 2) {
            offset = "$" + Hex(Read(2), 4);
        } else {
            const uint32_t at = Here();
            offset = AddressText(at, Read(4));
        }
        const uint32_t selector = Read(2);
        out_ += "$" + Hex(selector, 4) + ":" + offset;
    }

    std::string DataForm() const {
        std::string s = "DB      ";
        for (size_t i = 0; i < pos_; ++i) {
            if (i) s += ", ";
            s += "$" + Hex(code_[i], 2);
        }
        return s;
    }

    static const char* SizeWord(int size) {
        switch (size) {
        case 1:
            return "byte ptr ";
        case 2:
            return "word ptr ";
        case 4:
            return "dword ptr ";
        case 8:
            return "qword ptr ";
        case 10:
            return "tbyte ptr ";
        case 6:
            return "";
        default:
            return "byte ptr ";
        }
    }

    std::string Finish() {
        std::string s = out_;
        size_t invalidAt = invalidAt_;
        if (showSize_) {
            for (auto it = sizeMarks_.rbegin(); it != sizeMarks_.rend(); ++it) {
                const std::string word = SizeWord(it->second);
                s.insert(it->first, word);
                if (invalidAt != std::string::npos && it->first < invalidAt)
                    invalidAt += word.size();
            }
        }
        if (invalidAt != std::string::npos)
            s = s.substr(0, invalidAt) + DataForm() + "  //" + s.substr(invalidAt);
        return s;
    }

    const TDisAsm& da_;
    const uint8_t* code_;
    size_t available_;
    uint32_t address_;
    size_t pos_ = 0;
    int opSize_ = 4;
    int addrSize_ = 4;
    int modrm_ = -1;
    int sib_ = -1;
    std::string segment_;
    bool showSize_ = true;
    int curSize_ = 4;
    std::string out_;
    std::vector<std::pair<size_t, int>> sizeMarks_;
    size_t invalidAt_ = std::string::npos;
};

} // namespace

std::string TDisAsm::GetInstruction(const uint8_t* code, size_t available, uint32_t address,
                                    uint32_t& size) const {
    if (available == 0) {
        size = 1;
        return "??";
    }
    return Decoder(*this, code, available, address).Run(size);
}

} // namespace kv::crash
