# The binfmt_misc entry that hands every i386 ELF program to an interpreter of our
# choosing: for CI's pass that refuses 32-bit x86 code (refuse_x86_32.sh, a stub that
# fails as such a kernel does) and for the one that emulates it (emulate_x86_32.sh
# here, qemu-i386). Sourced; making an entry needs root.
binfmt_dir=/proc/sys/fs/binfmt_misc

# binfmt_mounted: binfmt_misc's files are there, mounted where they were not.
binfmt_mounted() {
    [ -f "$binfmt_dir/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt_dir"
}

# binfmt_register_i386 NAME INTERPRETER [FLAGS]: the entry NAME, which hands i386 ELF
# programs to INTERPRETER until it is removed.
binfmt_register_i386() {
    # The ELF header of an i386 executable (class 32-bit, little-endian, machine 3);
    # the mask lets shared objects and any OS/ABI byte through as well.
    printf '%s' ":$1:M::"'\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$2:${3:-}" \
        >"$binfmt_dir/register"
}

# binfmt_remove NAME: the entry NAME is gone, if it was there.
binfmt_remove() {
    if [ -e "$binfmt_dir/$1" ]; then echo -1 >"$binfmt_dir/$1"; fi
}
