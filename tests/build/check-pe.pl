#!/usr/bin/perl
# check-pe.pl: every program and library that ships carries the mitigations that
# cmake/Hardening.cmake asks for, as its own headers say, read here and not by the toolchain that
# wrote them. Unpacks the archives into SCRATCH, the symbols over the ZIP as a debugging
# administrator would, and fails on any PE file in them that
#   - lacks DYNAMIC_BASE or NX_COMPAT, or HIGH_ENTROPY_VA (x64) or NO_SEH (x86), or the base
#     relocations without which DYNAMIC_BASE moves nothing; or is 64-bit and based below 4 GB or
#     not large-address aware, without which HIGH_ENTROPY_VA does nothing;
#   - has a section writable and executable, or writable and shared, or executable imports;
#   - imports a DLL that is not the system's;
#   - keeps symbols or debug sections, or whose debug link does not name the file beside it with
#     the CRC of that file's content;
#   - is x86 and whose code touches FS:[0], the head of the SEH handler chain, which NO_SEH denies.
#   check-pe.pl OBJDUMP CMAKE SCRATCH ARCHIVE...
use strict;
use warnings;
use Compress::Zlib qw(crc32);
use File::Basename qw(basename dirname);
use File::Find qw(find);

my ($objdump, $cmake, $scratch, @archives) = @ARGV;
my %required = (0x14c => 0x0540, 0x8664 => 0x0160);    # x86: NO_SEH|NX|DYNAMIC; x64: NX|DYNAMIC|HIGH_ENTROPY
my %system = map { $_ => 1 } qw(ADVAPI32.DLL CRYPT32.DLL KERNEL32.DLL MSVCRT.DLL OLE32.DLL OLEAUT32.DLL USER32.DLL
    WINTRUST.DLL);
my ($failures, @files) = (0);
sub problem { print "FAIL: $_[0]\n"; $failures++ }
sub slurp { open(my $handle, '<:raw', $_[0]) or return undef; local $/; return <$handle> }

system('rm', '-rf', $scratch);
mkdir $scratch or die "check-pe: cannot make $scratch\n";
chdir $scratch or die;
system($cmake, '-E', 'tar', 'xf', $_) == 0 or die "check-pe: cannot unpack $_\n" for @archives;
find(sub { push @files, $File::Find::name if /\.(dll|exe)$/i }, $scratch);

for my $path (sort @files) {
    my $name = substr($path, length($scratch) + 1);
    my $image = slurp($path);
    my $pe = unpack('V', substr($image, 0x3c, 4));
    substr($image, $pe, 4) eq "PE\0\0" or problem("$name: no PE header"), next;
    my ($machine, $count, $symbols_at, $symbols, $optional_size, $flags) = unpack('v v x4 V V v v', substr($image, $pe + 4));
    my $optional = $pe + 24;
    my $wide = unpack('v', substr($image, $optional)) == 0x20b;
    my $base = $wide ? unpack('Q<', substr($image, $optional + 24)) : unpack('V', substr($image, $optional + 28));
    my $characteristics = unpack('v', substr($image, $optional + 70));
    my @directory = map { [unpack('V V', substr($image, $optional + ($wide ? 112 : 96) + 8 * $_))] } 0 .. 15;
    my @sections = map {
        my ($label, $size, $address, $raw_size, $raw, $bits) = unpack('a8 V V V V x12 V', substr($image, $optional + $optional_size + 40 * $_));
        $label =~ s/\0+$//;
        # A long name stands in the string table, after the symbols.
        $label = unpack('Z*', substr($image, $symbols_at + 18 * $symbols + $1)) if $label =~ m{^/(\d+)$};
        { name => $label, address => $address, size => $size, raw => $raw, bits => $bits }
    } 0 .. $count - 1;
    my $section_of = sub { (grep { $_[0] >= $_->{address} && $_[0] < $_->{address} + $_->{size} } @sections)[0] };
    my $at = sub { my $section = $section_of->($_[0]) or return 0; $section->{raw} + $_[0] - $section->{address} };

    my $want = $required{$machine} or problem(sprintf '%s: machine 0x%x, neither x86 nor x64', $name, $machine), next;
    printf "%s: DllCharacteristics 0x%04x, image base 0x%x\n", $name, $characteristics, $base;
    problem(sprintf '%s lacks DllCharacteristics 0x%04x', $name, $want & ~$characteristics) if ($characteristics & $want) != $want;
    problem("$name has no base relocations") if !$directory[5][1] || $flags & 1;
    problem("$name is a 64-bit image based below 4 GB or not large-address aware") if $wide && ($base < 2**32 || !($flags & 0x20));
    for (@sections) {
        problem("$name: section $_->{name} is writable and executable") if ($_->{bits} & 0xA0000000) == 0xA0000000;
        problem("$name: section $_->{name} is writable and shared") if ($_->{bits} & 0x90000000) == 0x90000000;
        problem("$name: section $_->{name} is debug information") if $_->{name} =~ /^\.debug|^\/\d/;
    }
    my @imports;
    for (my $entry = $at->($directory[1][0]); $entry && (my $dll = unpack('x12 V', substr($image, $entry, 20))); $entry += 20) {
        push @imports, uc unpack('Z*', substr($image, $at->($dll)));
    }
    my @foreign = grep { !$system{$_} } @imports;
    problem("$name imports " . (@imports ? "@foreign, not the system's" : 'nothing')) if @foreign || !@imports;
    problem("$name: its imports are executable") if @imports && $section_of->($directory[1][0])->{bits} & 0x20000000;

    problem("$name keeps $symbols symbols") if $symbols;
    my ($link) = grep { $_->{name} eq '.gnu_debuglink' } @sections;
    if (!$link) {
        problem("$name has no debug link");
    } else {
        my $target = unpack('Z*', substr($image, $link->{raw}));
        my $crc = unpack('V', substr($image, $link->{raw} + ((length($target) + 4) & ~3)));
        my $debug = slurp(dirname($path) . "/$target");
        problem("$name: its debug link names $target, which is not beside it with CRC $crc") if !defined $debug || crc32($debug) != $crc;
    }
    if ($machine == 0x14c) {
        open(my $code, '-|', $objdump, '-d', '--no-show-raw-insn', $path) or die;
        my @chain = grep { /%fs:0x0\b/ } <$code>;
        problem("$name touches the SEH chain:\n@chain") if @chain;
    }
}
printf "%d PE files checked, %d problems\n", scalar @files, $failures;
exit($failures || @files < 5 ? 1 : 0);
