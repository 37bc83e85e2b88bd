#!/usr/bin/perl
# timestamp-responder.pl: an RFC 3161 time-stamping authority on the loopback address for the
# signing tests. Answers each HTTP POST of a time-stamp query with OpenSSL's `ts -reply` under
# CONFIG, working in FOLDER; prints its port once it listens, and ends by itself after 100
# requests or 10 minutes.
#   timestamp-responder.pl CONFIG FOLDER
use strict;
use warnings;
use IO::Socket::INET;

my ($config, $folder) = @ARGV;
my $server = IO::Socket::INET->new(LocalAddr => '127.0.0.1', LocalPort => 0, Listen => 5, ReuseAddr => 1)
    or die "timestamp-responder: cannot listen: $!\n";
$| = 1;
print $server->sockport, "\n";
alarm 600;
for (1 .. 100) {
    my $client = $server->accept or last;
    my ($length, $line) = (0);
    while (defined($line = <$client>) && $line =~ /\S/) {
        $length = $1 if $line =~ /^Content-Length:\s*(\d+)/i;
    }
    binmode $client;
    my $query = '';
    read($client, $query, $length - length $query, length $query) or last while length $query < $length;
    open(my $file, '>:raw', "$folder/query.tsq") or die;
    print $file $query;
    close $file;
    my $reply = '';
    if (system('openssl', 'ts', '-reply', '-config', $config, '-queryfile', "$folder/query.tsq",
               '-out', "$folder/reply.tsr") == 0 && open($file, '<:raw', "$folder/reply.tsr")) {
        local $/;
        $reply = <$file>;
    }
    print $client ($reply ? "HTTP/1.0 200 OK\r\nContent-Type: application/timestamp-reply\r\n"
                          : "HTTP/1.0 500 Internal Server Error\r\n"),
        "Content-Length: ", length $reply, "\r\n\r\n", $reply;
    close $client;
}
