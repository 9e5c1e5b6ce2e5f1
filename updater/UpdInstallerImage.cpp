#include "updater/UpdHandOver.h"

// The installer program's bytes, built by the project and carried inside the program.
__asm__(".section .rodata\n"
        ".balign 16\n"
        ".globl qd_installer_image_begin\n"
        ".hidden qd_installer_image_begin\n"
        "qd_installer_image_begin:\n"
        ".incbin \"" QD_INSTALLER_IMAGE "\"\n"
        ".globl qd_installer_image_end\n"
        ".hidden qd_installer_image_end\n"
        "qd_installer_image_end:\n"
        ".previous\n");

extern "C" const char qd_installer_image_begin[];
extern "C" const char qd_installer_image_end[];

QByteArrayView updHandOver::InstallerImage()
{
    return QByteArrayView(qd_installer_image_begin, qd_installer_image_end - qd_installer_image_begin);
}
