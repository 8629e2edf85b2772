meta:
  id: gpt
  title: GUID partition table (512-byte sectors)
  file-extension: gpt
  endian: le
doc: |
  The protective MBR in sector 0, the primary header in sector 1, the
  partition entries where the header points, and the backup header in
  the disk's last sector. Entries and the backup are read by position,
  so a disk of any size opens at once.
seq:
  - id: protective_mbr
    size: 512
  - id: primary
    size: 512
    type: header
instances:
  entries:
    pos: primary.entries_lba * 512
    size: primary.entry_size
    type: partition_entry
    repeat: expr
    repeat-expr: primary.entry_count
  backup:
    pos: primary.backup_lba * 512
    size: 512
    type: header
types:
  header:
    seq:
      - id: signature
        contents: "EFI PART"
      - id: revision
        type: u4
      - id: header_size
        type: u4
      - id: header_crc32
        type: u4
      - id: reserved
        type: u4
      - id: current_lba
        type: u8
      - id: backup_lba
        type: u8
      - id: first_usable_lba
        type: u8
      - id: last_usable_lba
        type: u8
      - id: disk_guid
        size: 16
      - id: entries_lba
        type: u8
      - id: entry_count
        type: u4
      - id: entry_size
        type: u4
      - id: entries_crc32
        type: u4
  partition_entry:
    seq:
      - id: type_guid
        size: 16
      - id: partition_guid
        size: 16
      - id: first_lba
        type: u8
      - id: last_lba
        type: u8
      - id: attributes
        type: u8
      - id: name
        type: str
        size: 72
        encoding: UTF-16LE
    instances:
      is_used:
        value: first_lba != 0 or last_lba != 0
