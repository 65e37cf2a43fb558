#include "tools/check/exercises.h"

namespace check {

// New exercises go at the end; their answers go into answers.cmake under the
// same number, slot by slot.
const std::vector<Exercise>& Exercises() {
  static const std::vector<Exercise> exercises = {
      {1,
       {L"Meet the target", L"认识目标"},
       {L"the program's image base (an address) and the port its server listens on",
        L"程序的映像基址（一个地址）和其服务器监听的端口"},
       {{L"BASE", Kind::kAddress}, {L"PORT", Kind::kNumber}}},
      {2,
       {L"Catch the send", L"截住 send"},
       {L"the entry address of the routine that performs 普攻",
        L"执行“普攻”的函数的入口地址"},
       {{L"ADDRESS", Kind::kAddress}}},
      {3,
       {L"One routine deeper", L"再深一层"},
       {L"the routine that sends 魔法's payload, then the click handler that calls it",
        L"发送“魔法”数据的函数，然后是调用它的点击处理函数"},
       {{L"SENDER", Kind::kAddress}, {L"HANDLER", Kind::kAddress}},
       Nudge::kSwappedRoutines},
      {4,
       {L"Arguments decide", L"参数说了算"},
       {L"the routine that decides whether 群功 sends, and its two arguments, first argument first",
        L"决定“群功”是否发送的函数，以及它的两个参数（第一个参数在前）"},
       {{L"ADDRESS", Kind::kAddress}, {L"A", Kind::kNumber}, {L"B", Kind::kNumber}},
       Nudge::kSwappedArguments},
      {5,
       {L"An address as payload", L"把地址当作载荷"},
       {L"the address that 死亡's payload holds, and the button whose action that routine "
        L"performs (1 普攻, 2 魔法, 3 群功, 4 死亡)",
        L"“死亡”发送的数据所含的地址，以及该地址处的函数执行的是哪个按钮的动作"
        L"（1 普攻，2 魔法，3 群功，4 死亡）"},
       {{L"ADDRESS", Kind::kAddress}, {L"BUTTON", Kind::kNumber}}},
      {6,
       {L"The filler", L"填充字节"},
       {L"the instruction that byte 0x06 encodes (mnemonic, then register), and by how many bytes "
        L"the two runs of it together lower the stack pointer",
        L"字节 0x06 编码的指令（先助记符，后寄存器），以及两段这样的字节合起来使栈指针降低多少字节"},
       {{L"MNEMONIC", Kind::kWord}, {L"REGISTER", Kind::kWord}, {L"BYTES", Kind::kNumber}}},
      {7,
       {L"Act without a click", L"不用点击就执行动作"},
       {L"the two values your injected code pushes to make 群功 send, in the order it pushes "
        L"them, and who removes them from the stack afterwards (caller or callee)",
        L"你注入的代码为使“群功”发送而压栈的两个值（按压栈顺序），以及之后由谁把它们从栈上移除"
        L"（caller 调用者 或 callee 被调用者）"},
       {{L"FIRST", Kind::kNumber}, {L"SECOND", Kind::kNumber}, {L"WHO", Kind::kWord}},
       Nudge::kPushOrder},
      {8,
       {L"Speak to the server", L"亲自和服务器对话"},
       {L"the hex line the log shows when your own tool sends the two ASCII bytes \"KV\", and "
        L"which copy (1 or 2) logs the bytes that a second copy's buttons send",
        L"你自己的工具发送两个 ASCII 字节“KV”时日志显示的十六进制行，以及第二个副本的按钮发送的"
        L"数据由哪个副本（1 或 2）记录"},
       {{L"HEX", Kind::kHex}, {L"COPY", Kind::kNumber}}},
      {9,
       {L"Change the payload", L"修改载荷"},
       {L"where the value 87654321 that 魔法 sends lives, and the hex line after you write "
        L"12345678 there and press 魔法",
        L"“魔法”发送的值 87654321 存放的地址，以及你在那里写入 12345678 并按下“魔法”后的十六进制行"},
       {{L"ADDRESS", Kind::kDataAddress}, {L"HEX", Kind::kHex}}},
      {10,
       {L"Addresses that move", L"会移动的地址"},
       {L"in kestravo-aslr.exe, the routine whose address 死亡 sends, as kestravo-aslr.exe+offset",
        L"在 kestravo-aslr.exe 中，“死亡”发送的地址所指的函数，写成 kestravo-aslr.exe+偏移"},
       {{L"ADDRESS", Kind::kAddress}},
       Nudge::kSwapped,
       L"kestravo-aslr.exe"},
      {11,
       {L"Arguments in registers", L"寄存器里的参数"},
       {L"in kestravo64.exe, the registers that carry the two arguments of 群功's two-argument "
        L"routine (first argument first), and how many bytes of shadow space a caller reserves "
        L"for it",
        L"在 kestravo64.exe 中，传递“群功”那个双参数函数的两个参数的寄存器（第一个参数在前），"
        L"以及调用者为它预留多少字节的影子空间"},
       {{L"FIRST", Kind::kWord}, {L"SECOND", Kind::kWord}, {L"SHADOW", Kind::kNumber}},
       Nudge::kSwappedRegisters,
       L"kestravo64.exe"},
      {12,
       {L"The 64-bit filler", L"64 位的填充字节"},
       {L"in kestravo64.exe, the instruction that byte 0x50 encodes (mnemonic, then register), "
        L"and by how many bytes the two runs of it together lower the stack pointer",
        L"在 kestravo64.exe 中，字节 0x50 编码的指令（先助记符，后寄存器），以及两段这样的字节合起来"
        L"使栈指针降低多少字节"},
       {{L"MNEMONIC", Kind::kWord}, {L"REGISTER", Kind::kWord}, {L"BYTES", Kind::kNumber}},
       Nudge::kSwapped,
       L"kestravo64.exe"},
  };
  return exercises;
}

const Exercise* FindExercise(int number) {
  for (const Exercise& exercise : Exercises()) {
    if (exercise.number == number) return &exercise;
  }
  return nullptr;
}

std::wstring Format(const Exercise& exercise) {
  std::wstring format;
  for (const Slot& slot : exercise.slots) {
    if (!format.empty()) format += L' ';
    format += slot.name;
  }
  return format;
}

const Text& NudgeText(Nudge nudge) {
  static const Text kNone = {L"", L""};
  static const Text kInsideRoutine = {
      L"That address is inside the routine; give the address of its first instruction.",
      L"这个地址在该函数内部；请给出它第一条指令的地址。"};
  static const Text kInsideData = {
      L"That address is inside the value; give the address of its first byte.",
      L"这个地址在该数据内部；请给出它第一个字节的地址。"};
  static const Text kByteOrder = {L"Read the four bytes least significant first.",
                                  L"这四个字节要从最低有效字节读起。"};
  static const Text kSwapped = {L"The right answers, in the wrong order.",
                                L"答案对了，顺序反了。"};
  static const Text kSwappedRoutines = {L"The right routines, in the wrong order.",
                                        L"函数对了，顺序反了。"};
  static const Text kSwappedArguments = {
      L"The right pair, in the wrong order: the first argument is the one at the lower stack "
      L"address.",
      L"这两个数对了，顺序反了：第一个参数位于较低的栈地址。"};
  static const Text kPushOrder = {L"Arguments are pushed last one first.",
                                  L"参数从最后一个开始压栈。"};
  static const Text kLinkCode = {
      L"That routine is the program's link code: every button's send goes through it. Return "
      L"once more.",
      L"这个函数是程序的通信代码：每个按钮的发送都要经过它。再返回一层。"};
  static const Text kCallerOfSend = {
      L"That routine takes no arguments: it is the caller. Go one routine deeper.",
      L"这个函数没有参数：它是调用者。再深入一层。"};
  static const Text kClickHandler = {L"That is the click handler, two routines up.",
                                     L"那是点击处理函数，在上面两层。"};
  static const Text kCalledRoutine = {
      L"That is the routine it calls, not the address that was sent.",
      L"那是它调用的函数，不是发送出去的地址。"};
  static const Text kSendingHandler = {L"That is the click handler that sends the address.",
                                       L"那是发送这个地址的点击处理函数。"};
  static const Text kSendingButton = {
      L"That is the button that sends the address; whose action does the routine at that "
      L"address perform?",
      L"那是发送这个地址的按钮；该地址处的函数执行的是哪个按钮的动作？"};
  static const Text kCountsPushes = {
      L"That counts pushes; how many bytes does each push take?",
      L"这是压栈的次数；每次压栈占几个字节？"};
  static const Text kOneRun = {L"That is one run; there are two.", L"这只是一段；一共有两段。"};
  static const Text kOneRunsPushes = {L"That is one run's pushes.", L"这是一段的压栈次数。"};
  static const Text kStackCleanup = {L"Look at what GroupAttack does after the call returns.",
                                     L"看看 GroupAttack 在调用返回之后做了什么。"};
  static const Text kSecondCopy = {
      L"The second copy cannot listen on the port. Where does its client connect?",
      L"第二个副本无法在该端口上监听。它的客户端连到了哪里？"};
  static const Text kValueInData = {
      L"That is the code that sends the value; the value itself lives in data.",
      L"那是发送这个值的代码；值本身存放在数据中。"};
  static const Text kSwappedRegisters = {L"The right registers, in the wrong order.",
                                         L"寄存器对了，顺序反了。"};
  static const Text kShadowWithAlignment = {
      L"That includes the 8 bytes that align the stack; how many are the shadow space?",
      L"这包括了用来对齐栈的 8 个字节；其中影子空间占多少字节？"};
  static const Text kAlignmentAndShadow = {
      L"That also counts the alignment and the shadow space; count only the pushes.",
      L"这还算上了对齐和影子空间；只算压栈的字节。"};
  switch (nudge) {
    case Nudge::kNone: return kNone;
    case Nudge::kInsideRoutine: return kInsideRoutine;
    case Nudge::kInsideData: return kInsideData;
    case Nudge::kByteOrder: return kByteOrder;
    case Nudge::kSwapped: return kSwapped;
    case Nudge::kSwappedRoutines: return kSwappedRoutines;
    case Nudge::kSwappedArguments: return kSwappedArguments;
    case Nudge::kPushOrder: return kPushOrder;
    case Nudge::kLinkCode: return kLinkCode;
    case Nudge::kCallerOfSend: return kCallerOfSend;
    case Nudge::kClickHandler: return kClickHandler;
    case Nudge::kCalledRoutine: return kCalledRoutine;
    case Nudge::kSendingHandler: return kSendingHandler;
    case Nudge::kSendingButton: return kSendingButton;
    case Nudge::kCountsPushes: return kCountsPushes;
    case Nudge::kOneRun: return kOneRun;
    case Nudge::kOneRunsPushes: return kOneRunsPushes;
    case Nudge::kStackCleanup: return kStackCleanup;
    case Nudge::kSecondCopy: return kSecondCopy;
    case Nudge::kValueInData: return kValueInData;
    case Nudge::kSwappedRegisters: return kSwappedRegisters;
    case Nudge::kShadowWithAlignment: return kShadowWithAlignment;
    case Nudge::kAlignmentAndShadow: return kAlignmentAndShadow;
  }
  return kNone;  // an id from a newer key
}

}  // namespace check
