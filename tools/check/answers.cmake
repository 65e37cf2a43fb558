# The course's answers, read by answer_key.cmake at build time. Only their
# salted hashes reach the checker.
#
#   kv_answer(EXERCISE SLOT KIND VALUE)        the right value of a slot
#   kv_miss(EXERCISE SLOT KIND VALUE NUDGE)    a known wrong value and its nudge
#
# KIND: SYMBOL (a routine or datum of the map; its entry offset is hashed and
# its extent kept, so an address inside it is recognised), NUMBER (decimal),
# WORD, HEX (a hex line). NUDGE names a check::Nudge enumerator without its k.
# Slots count from 1, in the order the exercise's answer format lists them.

# 1 Meet the target: BASE PORT
kv_answer(1 1 SYMBOL __image_base__)
kv_answer(1 2 NUMBER 19730)

# 2 Catch the send: ADDRESS
kv_answer(2 1 SYMBOL NormalAttack)
kv_miss(2 1 SYMBOL LinkClientSend LinkCode)

# 3 One routine deeper: SENDER HANDLER
kv_answer(3 1 SYMBOL Magic)
kv_answer(3 2 SYMBOL OnButton2Click)
kv_miss(3 1 SYMBOL LinkClientSend LinkCode)
kv_miss(3 2 SYMBOL LinkClientSend LinkCode)

# 4 Arguments decide: ADDRESS A B
kv_answer(4 1 SYMBOL GroupAttackSend)
kv_answer(4 2 NUMBER 6)
kv_answer(4 3 NUMBER 7)
kv_miss(4 1 SYMBOL GroupAttack CallerOfSend)
kv_miss(4 1 SYMBOL OnButton3Click ClickHandler)
kv_miss(4 1 SYMBOL LinkClientSend LinkCode)

# 5 An address as payload: ADDRESS BUTTON
kv_answer(5 1 SYMBOL DeathRoutine)
kv_answer(5 2 NUMBER 3)
kv_miss(5 1 SYMBOL GroupAttack CalledRoutine)
kv_miss(5 1 SYMBOL Death SendingHandler)
kv_miss(5 2 NUMBER 4 SendingButton)

# 6 The filler: MNEMONIC REGISTER BYTES (two runs of 45 four-byte pushes)
kv_answer(6 1 WORD push)
kv_answer(6 2 WORD es)
kv_answer(6 3 NUMBER 360)
kv_miss(6 3 NUMBER 90 CountsPushes)
kv_miss(6 3 NUMBER 180 OneRun)
kv_miss(6 3 NUMBER 45 OneRunsPushes)

# 7 Act without a click: FIRST SECOND WHO (cdecl: b pushed first)
kv_answer(7 1 NUMBER 7)
kv_answer(7 2 NUMBER 6)
kv_answer(7 3 WORD caller)
kv_miss(7 3 WORD callee StackCleanup)

# 8 Speak to the server: HEX COPY ("KV"; the second copy's client reaches the first's server)
kv_answer(8 1 HEX 4B56)
kv_answer(8 2 NUMBER 1)
kv_miss(8 2 NUMBER 2 SecondCopy)

# 9 Change the payload: ADDRESS HEX (12345678 = 0x00BC614E, least significant byte first)
kv_answer(9 1 SYMBOL magic_payload)
kv_answer(9 2 HEX 4E61BC00)
kv_miss(9 1 SYMBOL Magic ValueInData)

# 10 Addresses that move: ADDRESS, as kestravo-aslr.exe+offset
kv_answer(10 1 SYMBOL DeathRoutine)
kv_miss(10 1 SYMBOL GroupAttack CalledRoutine)
kv_miss(10 1 SYMBOL Death SendingHandler)

# 11 Arguments in registers, in kestravo64.exe: FIRST SECOND SHADOW (a in
# ecx, b in edx, and the 32 bytes a caller reserves above the return address)
kv_answer(11 1 WORD ecx)
kv_answer(11 1 WORD rcx)
kv_answer(11 2 WORD edx)
kv_answer(11 2 WORD rdx)
kv_answer(11 3 NUMBER 32)
kv_miss(11 3 NUMBER 40 ShadowWithAlignment)

# 12 The 64-bit filler: MNEMONIC REGISTER BYTES (two runs of 45 eight-byte pushes)
kv_answer(12 1 WORD push)
kv_answer(12 2 WORD rax)
kv_answer(12 3 NUMBER 720)
kv_miss(12 3 NUMBER 760 AlignmentAndShadow)
kv_miss(12 3 NUMBER 90 CountsPushes)
kv_miss(12 3 NUMBER 360 OneRun)
kv_miss(12 3 NUMBER 45 OneRunsPushes)
