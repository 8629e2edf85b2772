meta:
  id: tar
  title: POSIX ustar archive
  file-extension: tar
  xref:
    mime: application/x-tar
  encoding: ASCII
doc: |
  512-byte header blocks, each followed by its file's data rounded up to
  a whole block; the archive ends with an all-zero block.
seq:
  - id: entries
    type: entry
    repeat: until
    repeat-until: _.header.name == "" or _io.eof
types:
  entry:
    seq:
      - id: header
        size: 512
        type: header
      - id: data
        size: (header.data_size + 511) / 512 * 512
  header:
    seq:
      - id: name
        type: str
        size: 100
        terminator: 0
      - id: mode
        type: str
        size: 8
        terminator: 0
      - id: uid
        type: str
        size: 8
        terminator: 0
      - id: gid
        type: str
        size: 8
        terminator: 0
      - id: size
        type: str
        size: 12
        terminator: 0
      - id: modified
        type: str
        size: 12
        terminator: 0
      - id: checksum
        type: str
        size: 8
        terminator: 0
      - id: type
        type: u1
        enum: entry_type
      - id: link_name
        type: str
        size: 100
        terminator: 0
      - id: magic
        size: 6
      - id: version
        size: 2
      - id: user_name
        type: str
        size: 32
        terminator: 0
      - id: group_name
        type: str
        size: 32
        terminator: 0
      - id: device_major
        type: str
        size: 8
        terminator: 0
      - id: device_minor
        type: str
        size: 8
        terminator: 0
      - id: prefix
        type: str
        size: 155
        terminator: 0
      - id: padding
        size: 12
    instances:
      data_size:
        value: 'size == "" ? 0 : size.to_i(8)'
      is_ustar:
        value: magic == [0x75, 0x73, 0x74, 0x61, 0x72, 0]
enums:
  entry_type:
    0: end
    0x30: file
    0x31: hard_link
    0x32: symbolic_link
    0x33: character_device
    0x34: block_device
    0x35: directory
    0x36: fifo
    0x37: contiguous
    0x67: pax_global
    0x78: pax_extended
    0x4c: gnu_long_name
