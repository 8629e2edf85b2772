meta:
  id: mbr
  title: master boot record partition table
  file-extension: [img, mbr]
  endian: le
doc: |
  The first 512-byte sector of a disk: boot code, an optional disk
  signature, four primary partition entries and the 55 aa signature.
seq:
  - id: boot_code
    size: 440
  - id: disk_signature
    type: u4
  - id: reserved
    type: u2
  - id: partitions
    type: partition
    repeat: expr
    repeat-expr: 4
  - id: boot_signature
    contents: [0x55, 0xaa]
types:
  partition:
    seq:
      - id: status
        type: u1
        enum: status
      - id: first_chs
        type: chs
      - id: type
        type: u1
        enum: partition_type
      - id: last_chs
        type: chs
      - id: first_lba
        type: u4
      - id: sector_count
        type: u4
    instances:
      is_used:
        value: type != partition_type::empty
  chs:
    seq:
      - id: head
        type: u1
      - id: cylinder_high
        type: b2
      - id: sector
        type: b6
      - id: cylinder_low
        type: u1
    instances:
      cylinder:
        value: cylinder_high * 256 + cylinder_low
enums:
  status:
    0x00: inactive
    0x80: active
  partition_type:
    0x00: empty
    0x01: fat12
    0x04: fat16_small
    0x05: extended
    0x06: fat16
    0x07: ntfs_exfat
    0x0b: fat32_chs
    0x0c: fat32_lba
    0x0e: fat16_lba
    0x0f: extended_lba
    0x82: linux_swap
    0x83: linux
    0x8e: linux_lvm
    0xa5: freebsd
    0xee: gpt_protective
    0xef: efi_system
    0xfd: linux_raid
