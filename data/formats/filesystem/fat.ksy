meta:
  id: fat
  title: FAT12, FAT16 and FAT32 file systems (boot sector, tables, root directory)
  file-extension: [fat, vfat, ima]
  xref:
    mime: [application/x-ima, application/x-fat-image]
  endian: le
doc: |
  The boot sector with its BIOS parameter block (the FAT32 form where
  the 16-bit sectors per FAT is zero), the first allocation table, and
  the fixed root directory of FAT12 and FAT16, all read by position.
seq:
  - id: boot_sector
    type: boot_sector
instances:
  bytes_per_sector:
    value: boot_sector.bpb.bytes_per_sector
  is_fat32:
    value: boot_sector.bpb.sectors_per_fat_16 == 0
  sectors_per_fat:
    value: 'is_fat32 ? boot_sector.fat32.sectors_per_fat : boot_sector.bpb.sectors_per_fat_16'
  first_fat:
    pos: boot_sector.bpb.reserved_sectors * bytes_per_sector
    size: sectors_per_fat * bytes_per_sector
  root_directory:
    pos: (boot_sector.bpb.reserved_sectors + boot_sector.bpb.fat_count * sectors_per_fat) * bytes_per_sector
    type: directory_entry
    repeat: expr
    repeat-expr: boot_sector.bpb.root_entry_count
    if: not is_fat32
types:
  boot_sector:
    seq:
      - id: jump
        size: 3
      - id: oem_name
        type: str
        size: 8
        encoding: ASCII
      - id: bpb
        type: bios_parameter_block
      - id: fat32
        type: fat32_parameters
        if: bpb.sectors_per_fat_16 == 0
      - id: extended
        type: extended_parameters
      - id: boot_code
        size: 'bpb.sectors_per_fat_16 == 0 ? 420 : 448'
      - id: signature
        contents: [0x55, 0xaa]
  bios_parameter_block:
    seq:
      - id: bytes_per_sector
        type: u2
      - id: sectors_per_cluster
        type: u1
      - id: reserved_sectors
        type: u2
      - id: fat_count
        type: u1
      - id: root_entry_count
        type: u2
      - id: total_sectors_16
        type: u2
      - id: media
        type: u1
      - id: sectors_per_fat_16
        type: u2
      - id: sectors_per_track
        type: u2
      - id: head_count
        type: u2
      - id: hidden_sectors
        type: u4
      - id: total_sectors_32
        type: u4
  fat32_parameters:
    seq:
      - id: sectors_per_fat
        type: u4
      - id: flags
        type: u2
      - id: version
        type: u2
      - id: root_cluster
        type: u4
      - id: info_sector
        type: u2
      - id: backup_boot_sector
        type: u2
      - id: reserved
        size: 12
  extended_parameters:
    seq:
      - id: drive_number
        type: u1
      - id: reserved
        type: u1
      - id: extended_signature
        type: u1
      - id: volume_id
        type: u4
      - id: volume_label
        type: str
        size: 11
        encoding: ASCII
      - id: file_system_type
        type: str
        size: 8
        encoding: ASCII
  directory_entry:
    seq:
      - id: name
        size: 8
      - id: extension
        size: 3
      - id: attributes
        type: attributes
      - id: reserved
        type: u1
      - id: created_tenths
        type: u1
      - id: created_time
        type: u2
      - id: created_date
        type: u2
      - id: accessed_date
        type: u2
      - id: first_cluster_high
        type: u2
      - id: modified_time
        type: u2
      - id: modified_date
        type: u2
      - id: first_cluster_low
        type: u2
      - id: file_size
        type: u4
    instances:
      is_free:
        value: name[0] == 0 or name[0] == 0xe5
  attributes:
    seq:
      - id: reserved
        type: b2
      - id: archive
        type: b1
      - id: directory
        type: b1
      - id: volume_label
        type: b1
      - id: system
        type: b1
      - id: hidden
        type: b1
      - id: read_only
        type: b1
