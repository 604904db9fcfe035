# A mascot stand-in for tests/windows/Announcement.sh: takes one SSTP request on 127.0.0.1:9801,
# answers "SSTP/1.4 200 OK" and an empty line, and writes the bytes it received to the file named first.
# Says "ready" on standard output once it listens; gives up after the seconds named second.
use strict;
use warnings;
use IO::Socket::INET;

my ($out, $seconds) = @ARGV;
my $server = IO::Socket::INET->new(LocalAddr => '127.0.0.1', LocalPort => 9801, Listen => 1, ReuseAddr => 1)
  or die "cannot listen on 127.0.0.1:9801: $!\n";
$| = 1;
print "ready\n";
local $SIG{ALRM} = sub { die "no request within $seconds s\n" };
alarm $seconds;
my $client = $server->accept or die "accept: $!\n";
binmode $client;
my $request = '';
# The request ends with its empty line and one more CR LF.
while ($request !~ /\r\n\r\n\r\n\z/) {
  my $n = sysread($client, my $chunk, 4096);
  last if !$n;
  $request .= $chunk;
}
syswrite($client, "SSTP/1.4 200 OK\r\n\r\n");
close $client;
open(my $file, '>:raw', $out) or die "$out: $!\n";
print $file $request;
close $file;
