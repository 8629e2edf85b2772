meta:
  id: pcap
  title: packet capture file
  file-extension: [pcap, cap]
  xref:
    mime: [application/vnd.tcpdump.pcap, application/x-pcap]
doc: |
  The magic number says the byte order of the rest and whether the
  timestamps are in micro- or nanoseconds. Each record: its timestamp,
  its captured and original lengths, and the captured bytes (an Ethernet
  frame's header is read into fields).
seq:
  - id: magic
    type: u4be
    enum: magic
  - id: body
    type: body
types:
  body:
    meta:
      endian:
        switch-on: _root.magic
        cases:
          'magic::microseconds_le': le
          'magic::nanoseconds_le': le
          'magic::microseconds_be': be
          'magic::nanoseconds_be': be
    seq:
      - id: version_major
        type: u2
      - id: version_minor
        type: u2
      - id: time_zone
        type: s4
      - id: accuracy
        type: u4
      - id: snap_length
        type: u4
      - id: link_type
        type: u4
        enum: link_type
      - id: packets
        type: packet
        repeat: eos
    types:
      packet:
        seq:
          - id: seconds
            type: u4
          - id: fraction
            type: u4
          - id: captured_length
            type: u4
          - id: original_length
            type: u4
          - id: data
            size: captured_length
            type:
              switch-on: _parent.link_type
              cases:
                'link_type::ethernet': ethernet_frame
  ethernet_frame:
    seq:
      - id: destination
        size: 6
      - id: source
        size: 6
      - id: ether_type
        type: u2be
        enum: ether_type
      - id: payload
        size-eos: true
enums:
  magic:
    0xd4c3b2a1: microseconds_le
    0x4d3cb2a1: nanoseconds_le
    0xa1b2c3d4: microseconds_be
    0xa1b23c4d: nanoseconds_be
  link_type:
    0: bsd_loopback
    1: ethernet
    101: raw
    113: linux_cooked
  ether_type:
    0x0800: ipv4
    0x0806: arp
    0x86dd: ipv6
    0x8100: vlan
