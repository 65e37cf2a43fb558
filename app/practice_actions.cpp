#include "app/practice_actions.h"

#include "app/practice_window.h"
#include "link/link_client.h"

// Payloads and log lines, as GBK byte strings (this file is compiled with
// the GBK execution character set). Referenced from the handlers' assembly,
// hence C linkage and `used`.
#define KV_DATA extern "C" __attribute__((used))

KV_DATA const uint8_t normal_attack_payload[4] = {0xC6, 0xD5, 0xB9, 0xA5};  // "普攻"
KV_DATA const char normal_attack_line[] = "普攻 \r\n";
KV_DATA const char normal_attack_failure_line[] = "发送数据 普攻 失败\r\n";

KV_DATA const uint8_t magic_payload[4] = {0xB1, 0x7F, 0x39, 0x05};  // int32 87654321
KV_DATA const char magic_line[] = "魔法 魔法\r\n";
KV_DATA const char magic_failure_line[] = "发送数据 魔法 失败\r\n";

KV_DATA const uint8_t group_attack_payload[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
KV_DATA const char group_attack_line[] = "群攻 群攻 群攻\r\n";
KV_DATA const char group_attack_failure_line[] = "发送数据 群攻 失败\r\n";

// The entry address of DeathRoutine: four bytes, least significant first.
#if defined(__i386__)
KV_DATA void (*const death_payload)() = &DeathRoutine;
#elif defined(__x86_64__)
// Four bytes here too, so peers and the hex line keep their shape. The
// linker checks that the address fits in them: an image placed at or above
// 4 GiB fails to link ("relocation truncated to fit") instead of sending a
// cut address.
asm(".section .rdata,\"dr\"\n\t"
    ".globl death_payload\n\t"
    ".p2align 2\n"
    "death_payload:\n\t"
    ".long DeathRoutine\n\t"
    ".text");
#else
#error "the practice actions are written for x86 and x86-64"
#endif
KV_DATA const char death_line[] = "死亡 死亡 死亡 死亡\r\n";
KV_DATA const char death_failure_line[] = "发送数据 死亡 失败\r\n";

// The click handlers are written out instruction by instruction: the
// compiler may neither address through a moved stack pointer nor leave the
// frame any other way than restoring it, and the bytes must stay put.
#if defined(__i386__)
#define KV_ENTER "push %ebp\n\tmov %esp, %ebp\n\t"
#define KV_FILLER ".fill 45, 1, 0x06\n\t"
#define KV_LEAVE "mov %ebp, %esp\n\tpop %ebp\n\tret\n\t"

// Send-and-log: Send(link_client, payload, length); then one of the two lines.
#define KV_SEND_AND_LOG(payload, length, line, failure_line) \
  "push $" #length "\n\t"                                    \
  "push $_" #payload "\n\t"                                  \
  "push _link_client\n\t"                                    \
  "call _LinkClientSend\n\t"                                 \
  "add $12, %esp\n\t"                                        \
  "test %al, %al\n\t"                                        \
  "mov $_" #line ", %eax\n\t"                                \
  "jnz 1f\n\t"                                               \
  "mov $_" #failure_line ", %eax\n"                          \
  "1:\n\t"                                                   \
  "push %eax\n\t"                                            \
  "call _AppendToLog\n\t"                                    \
  "add $4, %esp\n\t"

extern "C" __attribute__((naked)) void NormalAttack() {
  asm(KV_ENTER KV_FILLER
      KV_SEND_AND_LOG(normal_attack_payload, 4, normal_attack_line, normal_attack_failure_line)
      KV_FILLER KV_LEAVE);
}

extern "C" __attribute__((naked)) void OnButton2Click() {
  asm(KV_ENTER KV_FILLER "call _Magic\n\t" KV_FILLER KV_LEAVE);
}

extern "C" __attribute__((naked)) void OnButton3Click() {
  asm(KV_ENTER KV_FILLER "call _GroupAttack\n\t" KV_FILLER KV_LEAVE);
}

extern "C" __attribute__((naked)) void Death() {
  asm(KV_ENTER KV_FILLER
      KV_SEND_AND_LOG(death_payload, 4, death_line, death_failure_line)
      KV_FILLER KV_LEAVE);
}

#else  // x86-64
// 0x06 is no instruction in 64-bit mode: the filler is push rax (0x50),
// again discarded by restoring the stack pointer from the frame. Before its
// calls the body aligns the stack to 16 bytes (45 pushes leave it 8 off) and
// reserves the callee's 32-byte shadow space, as the platform's convention
// asks. The handlers are whole routines of top-level assembly, so that their
// unwind data can tell what their prologue does (push rbp, rbp = rsp): a
// debugger walking the stack from a routine they call then finds its way
// through them, whatever the filler did to rsp.
#define KV_ROUTINE_ASM(name, body)                                     \
  asm(".text\n\t"                                                      \
      ".p2align 4\n\t"                                                 \
      ".globl " #name "\n\t"                                           \
      ".def " #name "; .scl 2; .type 32; .endef\n\t"                   \
      ".seh_proc " #name "\n" #name ":\n\t"                            \
      "push %rbp\n\t"                                                  \
      ".seh_pushreg %rbp\n\t"                                          \
      "mov %rsp, %rbp\n\t"                                             \
      ".seh_setframe %rbp, 0\n\t"                                      \
      ".seh_endprologue\n\t"                                           \
      KV_FILLER "and $-16, %rsp\n\tsub $32, %rsp\n\t" body KV_FILLER \
      "mov %rbp, %rsp\n\t"                                             \
      "pop %rbp\n\t"                                                   \
      "ret\n\t"                                                        \
      ".seh_endproc")
#define KV_FILLER ".fill 45, 1, 0x50\n\t"

// Send-and-log: LinkClientSend(link_client, payload, length) with the
// arguments in rcx, rdx and r8d; then AppendToLog(line) with the line in rcx.
#define KV_SEND_AND_LOG(payload, length, line, failure_line) \
  "mov link_client(%rip), %rcx\n\t"                          \
  "lea " #payload "(%rip), %rdx\n\t"                         \
  "mov $" #length ", %r8d\n\t"                               \
  "call LinkClientSend\n\t"                                  \
  "test %al, %al\n\t"                                        \
  "lea " #line "(%rip), %rcx\n\t"                            \
  "jnz 1f\n\t"                                               \
  "lea " #failure_line "(%rip), %rcx\n"                       \
  "1:\n\t"                                                   \
  "call AppendToLog\n\t"

KV_ROUTINE_ASM(NormalAttack, KV_SEND_AND_LOG(normal_attack_payload, 4, normal_attack_line,
                                             normal_attack_failure_line));
KV_ROUTINE_ASM(OnButton2Click, "call Magic\n\t");
KV_ROUTINE_ASM(OnButton3Click, "call GroupAttack\n\t");
KV_ROUTINE_ASM(Death, KV_SEND_AND_LOG(death_payload, 4, death_line, death_failure_line));
#endif

// The routines below are ordinary compiled code. `noipa` keeps each one a
// routine of its own (not inlined, cloned or specialised for its constant
// arguments), and this file is built without sibling-call optimisation, so
// every call stays a call and every caller stays on the stack.
#define KV_ROUTINE extern "C" __attribute__((noipa))

KV_ROUTINE void Magic() {
  const bool sent = LinkClientSend(link_client, magic_payload, sizeof magic_payload);
  AppendToLog(sent ? magic_line : magic_failure_line);
}

KV_ROUTINE void GroupAttackSend(int32_t a, int32_t b) {
  if (a != 6 || b != 7) return;
  const bool sent = LinkClientSend(link_client, group_attack_payload, sizeof group_attack_payload);
  AppendToLog(sent ? group_attack_line : group_attack_failure_line);
}

KV_ROUTINE void GroupAttack() { GroupAttackSend(6, 7); }

KV_ROUTINE void DeathRoutine() { GroupAttack(); }
