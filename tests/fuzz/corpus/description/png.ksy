meta:
  id: png
  file-extension: png
  endian: be
seq:
  - id: magic
    contents: [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]
  - id: chunks
    type: chunk
    repeat: until
    repeat-until: _.type == "IEND" or _io.eof
types:
  chunk:
    seq:
      - id: len
        type: u4
      - id: type
        type: str
        size: 4
        encoding: ASCII
      - id: body
        size: len
        type:
          switch-on: type
          cases:
            '"IHDR"': ihdr
      - id: crc
        type: u4
  ihdr:
    seq:
      - id: width
        type: u4
      - id: height
        type: u4
      - id: bit_depth
        type: u1
      - id: color_type
        type: u1
        enum: color
      - id: rest
        size: 3
    instances:
      pixels:
        value: width * height
enums:
  color:
    0: greyscale
    2: truecolor
    6: rgba
