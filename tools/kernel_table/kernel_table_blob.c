/* The generated kernel table as read-only linked data between the symbols
   morv_kernel_table and morv_kernel_table_end (see host/kernel_table.cpp).
   MORV_KERNEL_TABLE_FILE is the generated file, given by the build. */

__asm__(
    "  .section .rodata\n"
    "  .balign 16\n"
    "  .globl morv_kernel_table\n"
    "morv_kernel_table:\n"
    "  .incbin \"" MORV_KERNEL_TABLE_FILE "\"\n"
    "  .globl morv_kernel_table_end\n"
    "morv_kernel_table_end:\n"
    "  .previous\n");
