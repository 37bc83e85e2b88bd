#!/usr/bin/perl
# check-pe.pl OBJDUMP CMAKE SCRATCH ARCHIVE...: every shipped PE file has the mitigations of
# cmake/Hardening.cmake, as its own headers, parsed here, say. Unpacks the archives (the symbols
# over the ZIP) into SCRATCH and fails on a file without them or its relocations; 64-bit and based
# below 4 GB or not large-address aware; with a writable section that is executable or shared, or
# executable imports; importing a DLL not the system's; not stripped, or without a debug link to a
# file beside it of that CRC; or x86 code that touches FS:[0], the SEH chain's head (NO_SEH).
use strict;
use warnings;
use Compress::Zlib qw(crc32);
use File::Basename qw(dirname);
use File::Find qw(find);

my ($objdump, $cmake, $scratch, @archives) = @ARGV;
my %required = (0x14c => 0x0540, 0x8664 => 0x0160);    # x86: NO_SEH|NX|DYNAMIC; x64: NX|DYNAMIC|HIGH_ENTROPY
my %system = map { $_ => 1 } qw(ADVAPI32 CRYPT32 KERNEL32 MSVCRT OLE32 OLEAUT32 USER32 WINTRUST);
my ($failures, @files) = (0);
sub problem { print "FAIL: $_[0]\n"; $failures++ }
sub slurp { open(my $handle, '<:raw', $_[0]) or return undef; local $/; <$handle> }

system('rm', '-rf', $scratch) == 0 && mkdir($scratch) && chdir($scratch) or die "check-pe: no $scratch\n";
system($cmake, '-E', 'tar', 'xf', $_) == 0 or die "check-pe: cannot unpack $_\n" for @archives;
find(sub { push @files, $File::Find::name if /\.(dll|exe)$/i }, '.');

for my $name (sort @files) {
    my $image = slurp($name);
    my $pe = unpack('V', substr($image, 0x3c, 4));
    my ($machine, $count, $symbols_at, $symbols, $optional_size, $flags) = unpack('x4 v v x4 V V v v', substr($image, $pe));
    my $want = substr($image, $pe, 4) eq "PE\0\0" && $required{$machine} or problem("$name: no x86 or x64 PE file"), next;
    my ($optional, $wide) = ($pe + 24, $machine == 0x8664);
    my $base = $wide ? unpack('Q<', substr($image, $optional + 24)) : unpack('V', substr($image, $optional + 28));
    my $characteristics = unpack('v', substr($image, $optional + 70));
    my @directory = map { [unpack('V V', substr($image, $optional + ($wide ? 112 : 96) + 8 * $_))] } 0 .. 15;
    my @sections = map {
        my ($label, $size, $address, $raw, $bits) = unpack('Z8 V V x4 V x12 V', substr($image, $optional + $optional_size + 40 * $_));
        # A long name stands in the string table, after the symbols.
        $label = unpack('Z*', substr($image, $symbols_at + 18 * $symbols + $1)) if $label =~ m{^/(\d+)$};
        { name => $label, address => $address, size => $size, raw => $raw, bits => $bits }
    } 0 .. $count - 1;
    my $section_of = sub { (grep { $_[0] >= $_->{address} && $_[0] < $_->{address} + $_->{size} } @sections)[0] };
    my $at = sub { my $section = $section_of->($_[0]) or return 0; $section->{raw} + $_[0] - $section->{address} };
    printf "%s: DllCharacteristics 0x%04x, image base 0x%x\n", $name, $characteristics, $base;
    problem(sprintf '%s lacks DllCharacteristics 0x%04x', $name, $want & ~$characteristics) if ($characteristics & $want) != $want;
    problem("$name has no base relocations") if !$directory[5][1] || $flags & 1;
    problem("$name is based below 4 GB or not large-address aware") if $wide && ($base < 2**32 || !($flags & 0x20));
    for (@sections) {
        problem("$name: section $_->{name} is writable and executable or shared") if $_->{bits} & 0x80000000 && $_->{bits} & 0x30000000;
        problem("$name: section $_->{name} is debug information") if $_->{name} =~ m{^(\.debug|/)};
    }
    my @imports;
    for (my $entry = $at->($directory[1][0]); $entry && (my $dll = unpack('x12 V', substr($image, $entry, 20))); $entry += 20) {
        push @imports, uc(unpack('Z*', substr($image, $at->($dll)))) =~ s/\.DLL$//r;
    }
    my @foreign = grep { !$system{$_} } @imports;
    problem("$name imports [@foreign] of [@imports]") if @foreign || !@imports;
    problem("$name: its imports are executable") if @imports && $section_of->($directory[1][0])->{bits} & 0x20000000;
    problem("$name keeps $symbols symbols") if $symbols;
    my ($link) = grep { $_->{name} eq '.gnu_debuglink' } @sections;
    my $target = $link ? unpack('Z*', substr($image, $link->{raw})) : '(none)';
    my $crc = $link && unpack('V', substr($image, $link->{raw} + ((length($target) + 4) & ~3)));
    my $debug = slurp(dirname($name) . "/$target");
    problem("$name: its debug link names $target, not beside it with CRC $crc") if !$link || !defined $debug || crc32($debug) != $crc;
    if (!$wide) {
        open(my $code, '-|', $objdump, '-d', '--no-show-raw-insn', $name) or die;
        my @chain = grep { /%fs:0x0\b/ } <$code>;
        problem("$name touches the SEH chain:\n@chain") if @chain;
    }
}
printf "%d PE files checked (5 at least), %d problems\n", scalar @files, $failures;
exit($failures || @files < 5 ? 1 : 0);
