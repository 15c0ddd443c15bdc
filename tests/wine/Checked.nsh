; The tests' own, read by makensis before the example. Each of the include's
; macros runs with a value of its own in every register and one on the
; stack, and a change leaves C:\tools\registers.txt, a file that no row
; expects. With DETAILS the window closes by itself once the installation
; is done, and the details list goes into C:\tools\install.log.
Target ${TARGET}
!include "${__FILEDIR__}\..\..\installer\visaprep.nsh"

Var CheckedValue
Var CheckedHandle

!macro CheckedRegisters FUNCTION
  StrCpy $0 r0
  StrCpy $1 r1
  StrCpy $2 r2
  StrCpy $3 r3
  StrCpy $4 r4
  StrCpy $5 r5
  StrCpy $6 r6
  StrCpy $7 r7
  StrCpy $8 r8
  StrCpy $9 r9
  StrCpy $R0 R0
  StrCpy $R1 R1
  StrCpy $R2 R2
  StrCpy $R3 R3
  StrCpy $R4 R4
  StrCpy $R5 R5
  StrCpy $R6 R6
  StrCpy $R7 R7
  StrCpy $R8 R8
  StrCpy $R9 R9
  Push stacked
  Call ${FUNCTION}
  Pop $CheckedValue
  StrCmp "$0$1$2$3$4$5$6$7$8$9$R0$R1$R2$R3$R4$R5$R6$R7$R8$R9$CheckedValue" \
         "r0r1r2r3r4r5r6r7r8r9R0R1R2R3R4R5R6R7R8R9stacked" +5
    FileOpen $CheckedHandle "C:\tools\registers.txt" a
    FileSeek $CheckedHandle 0 END
    FileWrite $CheckedHandle "${FUNCTION}: $0 $1 $2 $3 $4 $5 $6 $7 $8 $9 $R0 $R1 $R2 $R3 $R4 $R5 $R6 $R7 $R8 $R9 $CheckedValue$\r$\n"
    FileClose $CheckedHandle
!macroend

!macroundef VisaprepBackUp
!macro VisaprepBackUp
  !insertmacro CheckedRegisters VisaprepBackUp
!macroend
!macroundef VisaprepRestore
!macro VisaprepRestore
  !insertmacro CheckedRegisters VisaprepRestore
!macroend
!macroundef VisaprepUninstall
!macro VisaprepUninstall
  !insertmacro CheckedRegisters un.VisaprepUninstall
!macroend

!ifdef DETAILS
AutoCloseWindow true
ShowInstDetails show
; Each line of the list view on the installation page (control 1016),
; through LVM_GETITEMCOUNT and LVM_GETITEMTEXTW.
Function .onInstSuccess
  FindWindow $0 "#32770" "" $HWNDPARENT
  GetDlgItem $0 $0 1016
  SendMessage $0 0x1004 0 0 $1
  System::Call "*(&t1024) p.r2"
  !if ${NSIS_PTR_SIZE} > 4
    System::Call "*(i 0, i 0, i 0, i 0, i 0, i 0, p r2, i 1024, i 0, p 0, i 0, i 0, i 0, i 0, p 0, p 0, i 0, i 0) p.r3"
  !else
    System::Call "*(i 0, i 0, i 0, i 0, i 0, p r2, i 1024, i 0, p 0, i 0, i 0, i 0, p 0, p 0, i 0) p.r3"
  !endif
  FileOpen $6 "C:\tools\install.log" w
  StrCpy $4 0
  loop:
    StrCmp $4 $1 done
    System::Call "user32::SendMessage(p r0, i 0x1073, p r4, p r3)"
    System::Call "*$2(&t1024 .r5)"
    FileWrite $6 "$5$\r$\n"
    IntOp $4 $4 + 1
    Goto loop
  done:
  FileClose $6
  System::Free $2
  System::Free $3
FunctionEnd
!endif
